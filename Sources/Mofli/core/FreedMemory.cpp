#include "FreedMemory.h"

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace FreedMemory {

void returnToTheSystem() {
#if defined(__GLIBC__)
    // Every arena, and free pages in the middle of the heap too, not only at its end.
    malloc_trim(0);
#endif
}

} // namespace FreedMemory

#include "FreedMemory.h"

// Any header of the C library says whether it is glibc.
#include <cstdlib>
#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace FreedMemory {

void returnLargeBlocksAtOnce() {
#if defined(__GLIBC__)
    // glibc raises this threshold by itself each time it unmaps a large block, up to 32 MiB, and
    // from then on serves sheets from heaps that seldom shrink; a fixed value stops that.
    constexpr int largeBlockBytes = 128 * 1024;
    mallopt(M_MMAP_THRESHOLD, largeBlockBytes);
#endif
}

void returnToTheSystem() {
#if defined(__GLIBC__)
    // Every arena, and free pages in the middle of a heap too, not only at its end.
    malloc_trim(0);
#endif
}

} // namespace FreedMemory

#include "AtomicRename.h"

#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace AtomicRename {

// ext4 flushes the new file's data before a rename over an existing file (auto_da_alloc), which
// costs the hook a few tenths of a millisecond per file on every run. Exchanging the two names
// is just as atomic for readers and skips that flush; the old content then goes with the
// temporary name. Only a regular file is exchanged: anything else (nothing yet on the first run,
// or a folder, which must not be replaced) takes the plain rename.
bool replace(const std::string& temporary, const std::string& target) {
    struct stat existing {};
    if (::lstat(target.c_str(), &existing) == 0 && S_ISREG(existing.st_mode) &&
        ::renameat2(AT_FDCWD, temporary.c_str(), AT_FDCWD, target.c_str(), RENAME_EXCHANGE) == 0) {
        ::unlink(temporary.c_str());
        return true;
    }
    return ::rename(temporary.c_str(), target.c_str()) == 0;
}

} // namespace AtomicRename

#include "AtomicRename.h"

#include <cstdio>

namespace AtomicRename {

bool replace(const std::string& temporary, const std::string& target) {
    return std::rename(temporary.c_str(), target.c_str()) == 0;
}

} // namespace AtomicRename

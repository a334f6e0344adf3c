#include "ControllingTerminal.h"

#include <cstdlib>
#include <sys/stat.h>

namespace ControllingTerminal {

std::optional<std::string> devicePath(dev_t device) {
    if (const char* name = ::devname(device, S_IFCHR); name != nullptr) {
        return std::string("/dev/") + name;
    }
    return std::nullopt;
}

} // namespace ControllingTerminal

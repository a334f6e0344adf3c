#include "ControllingTerminal.h"

#include <cstdlib>
#include <sys/param.h>
#include <sys/stat.h>
#include <sys/sysctl.h>
#include <unistd.h>

namespace ControllingTerminal {

std::optional<std::string> controllingTTYPath() {
    pid_t pid = ::getpid();
    for (int step = 0; step < 16; ++step) {
        int name[4] = {CTL_KERN, KERN_PROC, KERN_PROC_PID, pid};
        kinfo_proc record{};
        size_t size = sizeof(record);
        if (::sysctl(name, 4, &record, &size, nullptr, 0) != 0 || size == 0) {
            return std::nullopt;
        }
        if (const dev_t device = record.kp_eproc.e_tdev; device != NODEV) {
            if (const char* deviceName = ::devname(device, S_IFCHR); deviceName != nullptr) {
                return std::string("/dev/") + deviceName;
            }
        }
        if (record.kp_eproc.e_ppid < 2) {
            return std::nullopt;
        }
        pid = record.kp_eproc.e_ppid;
    }
    return std::nullopt;
}

} // namespace ControllingTerminal

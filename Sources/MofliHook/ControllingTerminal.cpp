#include "ControllingTerminal.h"

#include "ProcessRecord.h"

#include <unistd.h>

namespace ControllingTerminal {

std::optional<std::string> controllingTTYPath() {
    pid_t pid = ::getpid();
    for (int step = 0; step < 16; ++step) {
        const std::optional<ProcessRecord> record = ProcessRecord::read(pid);
        if (!record) {
            return std::nullopt;
        }
        if (record->terminal != 0) {
            if (std::optional<std::string> path = devicePath(record->terminal)) {
                return path;
            }
        }
        if (record->parent < 2) {
            return std::nullopt;
        }
        pid = record->parent;
    }
    return std::nullopt;
}

} // namespace ControllingTerminal

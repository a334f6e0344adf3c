#include "SessionProcess.h"

#include "ProcessRecord.h"

#include <algorithm>
#include <array>
#include <string_view>
#include <unistd.h>

namespace SessionProcess {
namespace {

constexpr std::array<std::string_view, 11> shells = {
    "sh", "bash", "dash", "zsh", "fish", "ksh", "mksh", "ash", "csh", "tcsh", "busybox"};

bool isShell(std::string_view name) {
    return std::find(shells.begin(), shells.end(), name) != shells.end();
}

} // namespace

std::optional<pid_t> find() {
    pid_t pid = ::getppid();
    for (int step = 0; step < 16 && pid >= 2; ++step) {
        const std::optional<ProcessRecord> record = ProcessRecord::read(pid);
        if (!record) {
            return std::nullopt;
        }
        if (!isShell(record->name)) {
            return pid;
        }
        pid = record->parent;
    }
    return std::nullopt;
}

} // namespace SessionProcess

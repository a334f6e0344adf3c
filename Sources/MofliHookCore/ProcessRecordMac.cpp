#include "ProcessRecord.h"

#include <sys/param.h>
#include <sys/sysctl.h>

std::optional<ProcessRecord> ProcessRecord::read(pid_t pid) {
    int name[4] = {CTL_KERN, KERN_PROC, KERN_PROC_PID, pid};
    kinfo_proc info{};
    size_t size = sizeof(info);
    if (::sysctl(name, 4, &info, &size, nullptr, 0) != 0 || size == 0) {
        return std::nullopt;
    }
    ProcessRecord record;
    record.pid = pid;
    record.parent = info.kp_eproc.e_ppid;
    record.terminal = info.kp_eproc.e_tdev == NODEV ? 0 : info.kp_eproc.e_tdev;
    record.name = info.kp_proc.p_comm;
    return record;
}

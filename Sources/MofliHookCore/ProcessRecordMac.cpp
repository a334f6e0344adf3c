#include "ProcessRecord.h"

#include <sys/param.h>
#include <sys/proc.h>
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
    record.exited = info.kp_proc.p_stat == SZOMB;
    const timeval& started = info.kp_proc.p_starttime;
    record.startedAt = std::int64_t{started.tv_sec} * 1000 + started.tv_usec / 1000;
    return record;
}

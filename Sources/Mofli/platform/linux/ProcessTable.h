#pragma once

#include "ProcessRecord.h"

#include <QString>
#include <optional>
#include <sys/types.h>
#include <unordered_map>
#include <vector>

// A snapshot of the processes in /proc: who is whose parent and which terminal each one has, so
// that a terminal can be traced to the program that draws it.
class ProcessTable {
public:
    // The hook reads the same records to find its own terminal.
    using Process = ProcessRecord;

    // Reads every process the caller may see.
    static ProcessTable read();

    // The device of `path` when it names a character device under /dev/. The path comes from a
    // file any local process can write, so anything else is refused.
    static std::optional<dev_t> terminalDevice(const QString& path);

    // The processes whose controlling terminal is `terminal`: session leaders first, since the
    // process a terminal emulator started leads its session, then by process id.
    std::vector<const Process*> onTerminal(dev_t terminal) const;
    // `pid` and its ancestors, nearest first, as far as they are known.
    std::vector<const Process*> lineage(pid_t pid) const;
    // Whether a program that `ancestor` started, directly or not, was started with WINDOWID set
    // to `window`: how terminal emulators tell the programs they run which window they draw in.
    // Only the environments of this user's processes can be read.
    bool announcedWindow(pid_t ancestor, unsigned long window) const;

private:
    std::unordered_map<pid_t, Process> processes_;
};

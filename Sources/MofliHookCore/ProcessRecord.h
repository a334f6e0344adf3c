#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <sys/types.h>

// What the kernel tells about one process: its parent, its controlling terminal, its command name
// and when it started. Plain C++, for the hook and the app; each platform reads its own process
// table.
struct ProcessRecord {
    pid_t pid = 0;
    pid_t parent = 0;
    pid_t session = 0;
    // 0 without a controlling terminal.
    dev_t terminal = 0;
    // The kernel's command name: at most 15 bytes on Linux, 16 on macOS.
    std::string name;
    // It has ended and only waits for its parent to collect it (a zombie).
    bool exited = false;
    // When it started, in milliseconds since the Unix epoch; 0 when unknown. A process id is used
    // again once its process is gone, and this tells a newcomer from the process that was meant.
    // On Linux it is derived from the time since boot, so it is never later than the true start.
    std::int64_t startedAt = 0;

    // The record of `pid`, or nothing when the process is gone or cannot be read.
    static std::optional<ProcessRecord> read(pid_t pid);

    // Linux: parses /proc/<pid>/stat, "pid (comm) state ppid pgrp session tty_nr … starttime …",
    // with the wall-clock time of the boot in milliseconds to place the start.
    static std::optional<ProcessRecord> parseStat(pid_t pid, std::string_view stat,
                                                  std::int64_t bootedAt);
};

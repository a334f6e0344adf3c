#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <sys/types.h>

// What the kernel tells about one running process: its parent, its controlling terminal and its
// command name. Plain C++, for the hook; each platform reads its own process table.
struct ProcessRecord {
    pid_t pid = 0;
    pid_t parent = 0;
    pid_t session = 0;
    // 0 without a controlling terminal.
    dev_t terminal = 0;
    // The kernel's command name: at most 15 bytes on Linux, 16 on macOS.
    std::string name;

    // The record of `pid`, or nothing when the process is gone or cannot be read.
    static std::optional<ProcessRecord> read(pid_t pid);

    // Linux: parses /proc/<pid>/stat, "pid (comm) state ppid pgrp session tty_nr …".
    static std::optional<ProcessRecord> parseStat(pid_t pid, std::string_view stat);
};

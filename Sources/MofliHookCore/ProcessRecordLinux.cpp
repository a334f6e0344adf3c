#include "Files.h"
#include "ProcessRecord.h"

#include <charconv>
#include <sys/sysmacros.h>

std::optional<ProcessRecord> ProcessRecord::read(pid_t pid) {
    const std::optional<std::string> stat =
        Files::readFile("/proc/" + std::to_string(pid) + "/stat");
    return stat ? parseStat(pid, *stat) : std::nullopt;
}

// The command name may hold spaces and parentheses, so the fields are read after the last ')'.
std::optional<ProcessRecord> ProcessRecord::parseStat(pid_t pid, std::string_view stat) {
    const std::size_t open = stat.find('(');
    const std::size_t close = stat.rfind(')');
    if (open == std::string_view::npos || close == std::string_view::npos || close < open) {
        return std::nullopt;
    }
    const char* cursor = stat.data() + close + 1;
    const char* const end = stat.data() + stat.size();
    long fields[5] = {}; // state is skipped; ppid, pgrp, session, tty_nr follow it.
    for (int index = 0; index < 5; ++index) {
        while (cursor < end && *cursor == ' ') {
            ++cursor;
        }
        if (index == 0) {
            while (cursor < end && *cursor != ' ') {
                ++cursor;
            }
            continue;
        }
        const auto [next, error] = std::from_chars(cursor, end, fields[index]);
        if (error != std::errc()) {
            return std::nullopt;
        }
        cursor = next;
    }
    // The kernel packs tty_nr as minor bits 0-7 and 20-31, major bits 8-19.
    const auto ttyNumber = static_cast<unsigned long>(fields[4]);
    const unsigned major = (ttyNumber >> 8) & 0xFFF;
    const unsigned minor = (ttyNumber & 0xFF) | ((ttyNumber >> 12) & 0xFFF00);
    ProcessRecord record;
    record.pid = pid;
    record.parent = static_cast<pid_t>(fields[1]);
    record.session = static_cast<pid_t>(fields[3]);
    record.terminal = ttyNumber == 0 ? 0 : makedev(major, minor);
    record.name = std::string(stat.substr(open + 1, close - open - 1));
    return record;
}

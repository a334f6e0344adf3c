#include "Files.h"
#include "ProcessRecord.h"

#include <charconv>
#include <sys/sysmacros.h>
#include <time.h>
#include <unistd.h>

namespace {

// The kernel counts a process's start from the boot, in clock ticks and including suspended
// time; the wall clock now minus the boot clock now places the boot as /proc/stat's "btime"
// does, to the millisecond rather than the second.
std::int64_t bootedAt() {
    timespec wall{};
    timespec boot{};
    ::clock_gettime(CLOCK_REALTIME, &wall);
    ::clock_gettime(CLOCK_BOOTTIME, &boot);
    const std::int64_t wallNs = std::int64_t{wall.tv_sec} * 1'000'000'000 + wall.tv_nsec;
    const std::int64_t bootNs = std::int64_t{boot.tv_sec} * 1'000'000'000 + boot.tv_nsec;
    return (wallNs - bootNs) / 1'000'000;
}

} // namespace

std::optional<ProcessRecord> ProcessRecord::read(pid_t pid) {
    const std::optional<std::string> stat =
        Files::readFile("/proc/" + std::to_string(pid) + "/stat");
    return stat ? parseStat(pid, *stat, bootedAt()) : std::nullopt;
}

// The command name may hold spaces and parentheses, so the fields are read after the last ')'.
std::optional<ProcessRecord> ProcessRecord::parseStat(pid_t pid, std::string_view stat,
                                                      std::int64_t bootedAt) {
    const std::size_t open = stat.find('(');
    const std::size_t close = stat.rfind(')');
    if (open == std::string_view::npos || close == std::string_view::npos || close < open) {
        return std::nullopt;
    }
    const char* cursor = stat.data() + close + 1;
    const char* const end = stat.data() + stat.size();
    // The one-letter state, then ppid, pgrp, session, tty_nr, … and starttime as the 20th.
    constexpr int startIndex = 19;
    constexpr int requiredFields = 5;
    char state = '?';
    long long fields[startIndex + 1] = {};
    int parsed = 0;
    for (; parsed <= startIndex; ++parsed) {
        while (cursor < end && *cursor == ' ') {
            ++cursor;
        }
        if (parsed == 0) {
            state = cursor < end ? *cursor : '?';
            while (cursor < end && *cursor != ' ') {
                ++cursor;
            }
            continue;
        }
        const auto [next, error] = std::from_chars(cursor, end, fields[parsed]);
        if (error != std::errc()) {
            break;
        }
        cursor = next;
    }
    if (parsed < requiredFields) {
        return std::nullopt;
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
    record.exited = state == 'Z' || state == 'X' || state == 'x';
    if (const long ticksPerSecond = ::sysconf(_SC_CLK_TCK);
        parsed > startIndex && ticksPerSecond > 0) {
        // Truncated, like the ticks themselves: the result never lies after the true start.
        record.startedAt = bootedAt + fields[startIndex] * 1000 / ticksPerSecond;
    }
    return record;
}

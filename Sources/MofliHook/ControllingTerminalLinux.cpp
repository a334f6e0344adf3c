#include "ControllingTerminal.h"
#include "Files.h"

#include <charconv>
#include <dirent.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace ControllingTerminal {
namespace {

constexpr int maxProcesses = 16;
// UNIX98 pseudo-terminal slaves use these majors; their name follows from the minor number.
constexpr unsigned ptySlaveMajorFirst = 136;
constexpr unsigned ptySlaveMajorLast = 143;

struct ProcessRecord {
    long parent = 0;
    dev_t terminal = 0;
};

// /proc/<pid>/stat is "pid (comm) state ppid pgrp session tty_nr …". The command name may hold
// spaces and parentheses, so the fields are read after the last ')'.
std::optional<ProcessRecord> readProcessRecord(long pid) {
    const std::optional<std::string> stat =
        Files::readFile("/proc/" + std::to_string(pid) + "/stat");
    if (!stat) {
        return std::nullopt;
    }
    const std::size_t close = stat->rfind(')');
    if (close == std::string::npos) {
        return std::nullopt;
    }
    const char* cursor = stat->data() + close + 1;
    const char* const end = stat->data() + stat->size();
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
    const auto ttyNumber = static_cast<unsigned long>(fields[4]);
    const unsigned major = (ttyNumber >> 8) & 0xFFF;
    const unsigned minor = (ttyNumber & 0xFF) | ((ttyNumber >> 12) & 0xFFF00);
    return ProcessRecord{fields[1], ttyNumber == 0 ? 0 : makedev(major, minor)};
}

bool isDevice(const std::string& path, dev_t device) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISCHR(info.st_mode) && info.st_rdev == device;
}

std::optional<std::string> findInFolder(const std::string& folder, dev_t device) {
    DIR* directory = ::opendir(folder.c_str());
    if (directory == nullptr) {
        return std::nullopt;
    }
    std::optional<std::string> found;
    while (const dirent* entry = ::readdir(directory)) {
        const std::string path = folder + "/" + entry->d_name;
        if (entry->d_name[0] != '.' && isDevice(path, device)) {
            found = path;
            break;
        }
    }
    ::closedir(directory);
    return found;
}

std::optional<std::string> deviceName(dev_t device) {
    const unsigned major = ::major(device);
    if (major >= ptySlaveMajorFirst && major <= ptySlaveMajorLast) {
        const unsigned number = (major - ptySlaveMajorFirst) * 256 + ::minor(device);
        if (std::string path = "/dev/pts/" + std::to_string(number); isDevice(path, device)) {
            return path;
        }
    }
    if (std::optional<std::string> path = findInFolder("/dev", device)) {
        return path;
    }
    return findInFolder("/dev/pts", device);
}

} // namespace

std::optional<std::string> controllingTTYPath() {
    long pid = ::getpid();
    for (int step = 0; step < maxProcesses; ++step) {
        const std::optional<ProcessRecord> record = readProcessRecord(pid);
        if (!record) {
            return std::nullopt;
        }
        if (record->terminal != 0) {
            if (std::optional<std::string> path = deviceName(record->terminal)) {
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

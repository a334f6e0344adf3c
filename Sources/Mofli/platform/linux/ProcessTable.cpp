#include "ProcessTable.h"

#include <QDir>
#include <QFile>
#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Deeper than any real process tree; a cycle in a snapshot taken while processes come and go
// cannot keep a walk going.
constexpr int maxLineage = 64;

// Whether the environment `pid` was started with holds `entry` ("NAME=value"). Environments are
// read up to a bound: WINDOWID comes early, and a process can make its own huge.
bool environmentHas(pid_t pid, const QByteArray& entry) {
    QFile file(QStringLiteral("/proc/%1/environ").arg(pid));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        return false;
    }
    constexpr qint64 maxEnvironmentBytes = 1 << 20;
    const QByteArray environment = file.read(maxEnvironmentBytes);
    qsizetype start = 0;
    while (start < environment.size()) {
        qsizetype end = environment.indexOf('\0', start);
        if (end < 0) {
            end = environment.size();
        }
        if (QByteArrayView(environment.constData() + start, end - start) == entry) {
            return true;
        }
        start = end + 1;
    }
    return false;
}

} // namespace

ProcessTable ProcessTable::read() {
    ProcessTable table;
    DIR* proc = ::opendir("/proc");
    if (proc == nullptr) {
        return table;
    }
    // Plain system calls: with hundreds of processes, this loop is most of a click's work.
    char path[sizeof "/proc//stat" + sizeof dirent::d_name];
    char buffer[1024];
    while (const dirent* entry = ::readdir(proc)) {
        pid_t pid = 0;
        const char* name = entry->d_name;
        const char* nameEnd = name + std::strlen(name);
        if (const auto [end, error] = std::from_chars(name, nameEnd, pid);
            error != std::errc() || end != nameEnd) {
            continue;
        }
        std::snprintf(path, sizeof path, "/proc/%s/stat", name);
        const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
        if (fd < 0) {
            continue;
        }
        const ssize_t size = ::read(fd, buffer, sizeof buffer);
        ::close(fd);
        if (size <= 0) {
            continue;
        }
        // Only parents and terminals matter here, not when a process started: no boot time.
        if (std::optional<Process> process = ProcessRecord::parseStat(
                pid, std::string_view(buffer, std::size_t(size)), 0)) {
            table.processes_.emplace(pid, std::move(*process));
        }
    }
    ::closedir(proc);
    return table;
}

std::optional<dev_t> ProcessTable::terminalDevice(const QString& path) {
    if (!path.startsWith(QLatin1String("/dev/")) || QDir::cleanPath(path) != path) {
        return std::nullopt;
    }
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0 || !S_ISCHR(info.st_mode)) {
        return std::nullopt;
    }
    return info.st_rdev;
}

std::vector<const ProcessTable::Process*> ProcessTable::onTerminal(dev_t terminal) const {
    std::vector<const Process*> found;
    if (terminal == 0) {
        return found;
    }
    for (const auto& [pid, process] : processes_) {
        if (process.terminal == terminal) {
            found.push_back(&process);
        }
    }
    std::sort(found.begin(), found.end(), [](const Process* a, const Process* b) {
        const bool aLeads = a->pid == a->session;
        const bool bLeads = b->pid == b->session;
        return aLeads != bLeads ? aLeads : a->pid < b->pid;
    });
    return found;
}

std::vector<const ProcessTable::Process*> ProcessTable::lineage(pid_t pid) const {
    std::vector<const Process*> chain;
    while (chain.size() < maxLineage) {
        const auto found = processes_.find(pid);
        if (found == processes_.end()) {
            break;
        }
        chain.push_back(&found->second);
        pid = found->second.parent;
    }
    return chain;
}

bool ProcessTable::announcedWindow(pid_t ancestor, unsigned long window) const {
    const QByteArray entry = "WINDOWID=" + QByteArray::number(qulonglong(window));
    for (const auto& [pid, process] : processes_) {
        for (const Process* above : lineage(process.parent)) {
            if (above->pid == ancestor) {
                if (environmentHas(pid, entry)) {
                    return true;
                }
                break;
            }
        }
    }
    return false;
}

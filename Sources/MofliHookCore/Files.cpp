#include "Files.h"

#include "AtomicRename.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

namespace Files {
namespace {

bool writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

// Owner-only: the state file holds the start of the user's prompt, the session record what the
// user works on.
constexpr mode_t fileMode = 0600;
constexpr mode_t folderMode = 0700;

bool isDirectory(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// The announced size lets one read usually suffice. Files under /proc announce 0 yet hold a few
// hundred bytes, hence the floor.
std::optional<std::string> readAll(int fd, std::size_t announcedSize) {
    std::string buffer;
    std::size_t size = 0;
    constexpr std::size_t minimumBuffer = 4096;
    buffer.resize(std::max(announcedSize + 1, minimumBuffer));
    for (;;) {
        if (size == buffer.size()) {
            buffer.resize(buffer.size() * 2);
        }
        const ssize_t count = ::read(fd, buffer.data() + size, buffer.size() - size);
        if (count == 0) {
            break;
        }
        if (count < 0) {
            if (errno == EINTR) {
                continue;
            }
            return std::nullopt;
        }
        size += static_cast<std::size_t>(count);
    }
    buffer.resize(size);
    return buffer;
}

} // namespace

// The name holds the process id and the clock, so that a name already taken costs one more try.
int createTemporary(const std::string& path, std::string& temporary) {
    for (int attempt = 0; attempt < 8; ++attempt) {
        timespec now{};
        ::clock_gettime(CLOCK_REALTIME, &now);
        temporary = path + ".tmp." + std::to_string(::getpid()) + "." +
                    std::to_string(now.tv_nsec + attempt);
        const int fd = ::open(temporary.c_str(),
                              O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, fileMode);
        if (fd >= 0 || errno != EEXIST) {
            return fd;
        }
    }
    return -1;
}

bool createDirectories(const std::string& path) {
    if (isDirectory(path)) {
        return true;
    }
    for (std::size_t slash = path.find('/', 1); slash != std::string::npos;
         slash = path.find('/', slash + 1)) {
        ::mkdir(path.substr(0, slash).c_str(), folderMode);
    }
    ::mkdir(path.c_str(), folderMode);
    return isDirectory(path);
}

bool replaceAtomically(const std::string& path, std::string_view contents) {
    if (const std::size_t slash = path.rfind('/'); slash != std::string::npos && slash > 0) {
        createDirectories(path.substr(0, slash));
    }
    std::string temporary;
    const int fd = createTemporary(path, temporary);
    if (fd < 0) {
        return false;
    }
    const bool written = writeAll(fd, contents);
    const bool closed = ::close(fd) == 0;
    if (written && closed && AtomicRename::replace(temporary, path)) {
        return true;
    }
    ::unlink(temporary.c_str());
    return false;
}

std::optional<std::string> readFile(const std::string& path) {
    // Without blocking: a FIFO under the name must not hold the hook, nor Claude Code, forever.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return std::nullopt;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return std::nullopt;
    }
    std::optional<std::string> contents = readAll(fd, static_cast<std::size_t>(info.st_size));
    ::close(fd);
    return contents;
}

} // namespace Files

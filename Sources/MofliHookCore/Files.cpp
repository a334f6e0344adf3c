#include "Files.h"

#include "AtomicRename.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
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

bool isDirectory(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::optional<std::string> readAll(int fd) {
    std::string buffer;
    std::size_t size = 0;
    struct stat info {};
    const bool regular = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
    // A regular file announces its size, so one read usually suffices. Files under /proc claim
    // a size of 0 yet hold a few hundred bytes, hence the floor.
    constexpr std::size_t minimumBuffer = 4096;
    buffer.resize(
        std::max(regular ? static_cast<std::size_t>(info.st_size) + 1 : 0, minimumBuffer));
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

bool createDirectories(const std::string& path) {
    if (isDirectory(path)) {
        return true;
    }
    for (std::size_t slash = path.find('/', 1); slash != std::string::npos;
         slash = path.find('/', slash + 1)) {
        ::mkdir(path.substr(0, slash).c_str(), 0777);
    }
    ::mkdir(path.c_str(), 0777);
    return isDirectory(path);
}

bool replaceAtomically(const std::string& path, std::string_view contents) {
    if (const std::size_t slash = path.rfind('/'); slash != std::string::npos && slash > 0) {
        createDirectories(path.substr(0, slash));
    }
    const std::string temporary = path + ".tmp." + std::to_string(::getpid());
    const int fd =
        ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0666);
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
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return std::nullopt;
    }
    std::optional<std::string> contents = readAll(fd);
    ::close(fd);
    return contents;
}

} // namespace Files

#include "LocalFile.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace LocalFile {
namespace {

std::variant<QByteArray, ReadFailure> readLimited(int fd, qsizetype limit) {
    QByteArray contents;
    char buffer[16384];
    for (;;) {
        const ssize_t length = read(fd, buffer, sizeof buffer);
        if (length < 0 && errno == EINTR) {
            continue;
        }
        if (length < 0) {
            return ReadFailure::unreadable;
        }
        if (length == 0) {
            return contents;
        }
        if (contents.size() + length > limit) {
            return ReadFailure::tooLarge;
        }
        contents.append(buffer, length);
    }
}

} // namespace

std::optional<Version> version(const QByteArray& path) {
    struct stat info;
    if (stat(path.constData(), &info) != 0) {
        return std::nullopt;
    }
#ifdef Q_OS_MACOS
    const timespec& modified = info.st_mtimespec;
#else
    const timespec& modified = info.st_mtim;
#endif
    return Version{modified.tv_sec, modified.tv_nsec, info.st_ino, info.st_size};
}

std::variant<QByteArray, ReadFailure> readRegular(const QByteArray& path, qsizetype limit) {
    const int fd = open(path.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return ReadFailure::unreadable;
    }
    struct stat info;
    std::variant<QByteArray, ReadFailure> result = ReadFailure::unreadable;
    if (fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) {
        result = info.st_size > limit ? ReadFailure::tooLarge : readLimited(fd, limit);
    }
    close(fd);
    return result;
}

} // namespace LocalFile

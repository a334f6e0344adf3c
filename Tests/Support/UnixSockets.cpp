#include "UnixSockets.h"

#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace UnixSockets {

namespace {

// False when `path` does not fit a socket address.
bool address(const char* path, sockaddr_un& result) {
    result = sockaddr_un{};
    result.sun_family = AF_UNIX;
    const size_t length = std::strlen(path);
    if (length >= sizeof result.sun_path) {
        return false;
    }
    std::memcpy(result.sun_path, path, length);
    return true;
}

} // namespace

int listenOn(const char* path) {
    sockaddr_un where;
    const int fd = address(path, where) ? ::socket(AF_UNIX, SOCK_STREAM, 0) : -1;
    if (fd >= 0 && (::bind(fd, reinterpret_cast<sockaddr*>(&where), sizeof where) != 0 ||
                    ::listen(fd, 64) != 0)) {
        ::close(fd);
        return -1;
    }
    return fd;
}

int connectTo(const char* path) {
    sockaddr_un where;
    const int fd = address(path, where) ? ::socket(AF_UNIX, SOCK_STREAM, 0) : -1;
    if (fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr*>(&where), sizeof where) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

} // namespace UnixSockets

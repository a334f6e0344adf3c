#include "SessionLock.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <time.h>
#include <unistd.h>

SessionLock::SessionLock(const std::string& lockFile, std::chrono::milliseconds maxWait) {
    fd_ = ::open(lockFile.c_str(), O_RDWR | O_CREAT | O_NONBLOCK | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd_ < 0) {
        return;
    }
    // Polling instead of a blocking flock keeps the bound without signals or threads; holders
    // keep the lock for well under a millisecond, so a short pause rarely costs anything.
    const auto deadline = std::chrono::steady_clock::now() + maxWait;
    for (;;) {
        if (::flock(fd_, LOCK_EX | LOCK_NB) == 0) {
            held_ = true;
            return;
        }
        if ((errno != EWOULDBLOCK && errno != EINTR) ||
            std::chrono::steady_clock::now() >= deadline) {
            return;
        }
        const timespec pause{0, 500'000};
        ::nanosleep(&pause, nullptr);
    }
}

SessionLock::~SessionLock() {
    if (fd_ >= 0) {
        // Closing the last descriptor releases the lock.
        ::close(fd_);
    }
}

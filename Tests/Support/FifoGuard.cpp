#include "FifoGuard.h"

#include <chrono>
#include <condition_variable>
#include <fcntl.h>
#include <mutex>
#include <stdexcept>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace FifoGuard {

void create(const std::string& fifo) {
    if (::mkfifo(fifo.c_str(), 0600) != 0) {
        throw std::runtime_error("mkfifo failed: " + fifo);
    }
}

bool finishesWithoutWaiting(const std::string& fifo, const std::function<void()>& body) {
    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;
    bool letGo = false;
    std::thread watchdog([&] {
        std::unique_lock lock(mutex);
        if (finished.wait_for(lock, std::chrono::seconds(3), [&] { return done; })) {
            return;
        }
        // Opening for writing succeeds once a reader has the FIFO open or waits in open().
        while (!done) {
            lock.unlock();
            const int fd = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
            if (fd >= 0) {
                ::close(fd);
            }
            lock.lock();
            letGo = true;
            finished.wait_for(lock, std::chrono::milliseconds(20), [&] { return done; });
        }
    });
    body();
    {
        std::lock_guard lock(mutex);
        done = true;
    }
    finished.notify_all();
    watchdog.join();
    return !letGo;
}

} // namespace FifoGuard

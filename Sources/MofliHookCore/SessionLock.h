#pragma once

#include <chrono>
#include <string>

// An exclusive advisory lock (flock) on a lock file, held for the lifetime of the object. Hook
// runs of overlapping tool calls take it around load-modify-save of the session record so that
// no count is lost. The wait is bounded: a stuck holder must never hang Claude Code, so after
// `maxWait` the caller goes on without the lock.
class SessionLock {
public:
    SessionLock(const std::string& lockFile, std::chrono::milliseconds maxWait);
    ~SessionLock();
    SessionLock(const SessionLock&) = delete;
    SessionLock& operator=(const SessionLock&) = delete;

    bool held() const { return held_; }

private:
    int fd_ = -1;
    bool held_ = false;
};

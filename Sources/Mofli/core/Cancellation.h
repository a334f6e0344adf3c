#pragma once

#include <atomic>

// Raised by one thread to stop work that another runs: a command running under it is killed
// with everything it started, and no further command starts.
class Cancellation {
public:
    void cancel() { cancelled_.store(true, std::memory_order_relaxed); }
    bool isCancelled() const { return cancelled_.load(std::memory_order_relaxed); }

    // One that is never raised, for callers with nothing to cancel.
    static const Cancellation& never() {
        static const Cancellation none;
        return none;
    }

private:
    std::atomic<bool> cancelled_{false};
};

#pragma once

#include <functional>
#include <memory>
#include <optional>

class Scheduler;
class ScheduledTimer;

// Notices the user coming back after a break. Every two seconds it asks how long mouse and
// keyboard have rested; once that reached three minutes, the first check with a shorter rest
// reports the return, once. A source that cannot tell leaves the monitor as it is.
class IdleMonitor {
public:
    static constexpr double awaySeconds = 180.0;
    static constexpr double intervalSeconds = 2.0;

    // Seconds since the last input, or nothing where the desktop does not say.
    using IdleSource = std::function<std::optional<double>()>;

    // `scheduler` must outlive the monitor.
    IdleMonitor(Scheduler& scheduler, IdleSource idleSeconds, std::function<void()> onReturn);
    ~IdleMonitor();

    IdleMonitor(const IdleMonitor&) = delete;
    IdleMonitor& operator=(const IdleMonitor&) = delete;

    // Starts the checks, the first one interval from now; a second call starts them afresh.
    void start();
    bool wasAway() const { return wasAway_; }

private:
    void check();

    Scheduler& scheduler_;
    IdleSource idleSeconds_;
    std::function<void()> onReturn_;
    std::unique_ptr<ScheduledTimer> timer_;
    bool wasAway_ = false;
};

#pragma once

#include <functional>
#include <memory>
#include <optional>

class Scheduler;
class ScheduledTimer;

// Notices the user coming back after a break. Every two seconds it asks how long mouse and
// keyboard have rested; once that reached three minutes, the first answer with a shorter rest
// reports the return, once. A source that cannot tell leaves the monitor as it is. The answer may
// come later than the question (a desktop service over D-Bus); while one is out, the checks that
// fall due ask nothing.
class IdleMonitor {
public:
    static constexpr double awaySeconds = 180.0;
    static constexpr double intervalSeconds = 2.0;

    // Takes the answer: seconds since the last input, or nothing where the desktop does not say.
    using IdleReply = std::function<void(std::optional<double>)>;
    // Asks for the seconds since the last input; the answer goes to the reply, at once or later,
    // and always comes.
    using IdleSource = std::function<void(IdleReply)>;

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
    void answered(std::optional<double> idle);

    Scheduler& scheduler_;
    IdleSource idleSeconds_;
    std::function<void()> onReturn_;
    std::unique_ptr<ScheduledTimer> timer_;
    bool wasAway_ = false;
    bool asking_ = false;
    // Answers that come after the monitor is gone find this expired.
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

#pragma once

#include "Scheduler.h"

#include <memory>

// The real clock and timers: a monotonic elapsed-time clock and precise Qt timers whose handlers
// run on the thread that created the scheduler, from that thread's event loop.
class QtScheduler : public Scheduler {
public:
    QtScheduler();
    ~QtScheduler() override;

    QtScheduler(const QtScheduler&) = delete;
    QtScheduler& operator=(const QtScheduler&) = delete;

    double now() const override;
    std::unique_ptr<ScheduledTimer> schedule(double delaySeconds, std::function<void()> handler,
                                             bool repeating = false) override;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

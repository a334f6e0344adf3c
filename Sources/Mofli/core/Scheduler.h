#pragma once

#include <functional>
#include <memory>

// A timer armed through a Scheduler. Destroying it cancels it: its handler never runs afterwards.
class ScheduledTimer {
public:
    virtual ~ScheduledTimer() = default;
};

// Clock and timers behind the behaviour of the pet (throttle, frame loop, one-shot animations,
// thinking phrases, recap hiding, idle monitor), so that tests can drive them in virtual time.
// Everything runs on one thread: handlers are called on the thread that owns the scheduler.
class Scheduler {
public:
    virtual ~Scheduler() = default;

    // Monotonic time in seconds; only differences matter.
    virtual double now() const = 0;
    // Fires once after `delaySeconds`, or, with `repeating`, every `delaySeconds` until the
    // returned timer is destroyed.
    virtual std::unique_ptr<ScheduledTimer>
    schedule(double delaySeconds, std::function<void()> handler, bool repeating = false) = 0;
};

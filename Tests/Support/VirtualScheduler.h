#pragma once

#include "Scheduler.h"

#include <algorithm>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <utility>

// A Scheduler whose clock only moves when a test calls `advance`, so timing rules can be checked
// exactly and without sleeping. Timers due at the same instant fire in the order they were armed.
class VirtualScheduler : public Scheduler {
public:
    double now() const override { return clock_->now; }

    std::unique_ptr<ScheduledTimer> schedule(double delaySeconds, std::function<void()> handler,
                                             bool repeating = false) override {
        const std::uint64_t id = clock_->nextId++;
        clock_->pending.emplace(
            id, Entry{clock_->now + delaySeconds, delaySeconds, repeating, clock_->nextSequence++,
                      std::make_shared<std::function<void()>>(std::move(handler))});
        return std::make_unique<Timer>(clock_, id);
    }

    // Moves the clock forward by `seconds`, firing every timer that falls due on the way at its
    // own due time, including timers that handlers arm meanwhile.
    void advance(double seconds) {
        const double target = clock_->now + seconds;
        while (auto id = nextDue(target)) {
            Entry& entry = clock_->pending.at(*id);
            clock_->now = std::max(clock_->now, entry.due);
            // The handler may destroy its own timer; this copy keeps the callable alive meanwhile.
            auto handler = entry.handler;
            if (entry.repeating) {
                entry.due += entry.period;
                entry.sequence = clock_->nextSequence++;
            } else {
                clock_->pending.erase(*id);
            }
            (*handler)();
        }
        clock_->now = std::max(clock_->now, target);
    }

    // Timers that are still going to fire: armed, not cancelled, and (if one-shot) not yet fired.
    int pendingTimerCount() const { return static_cast<int>(clock_->pending.size()); }

private:
    // Due times within this margin of the target count as due, so that sums of decimal delays
    // that land a hair beyond the target in binary floating point still fire.
    static constexpr double tolerance = 1e-9;

    struct Entry {
        double due;
        double period;
        bool repeating;
        std::uint64_t sequence;
        std::shared_ptr<std::function<void()>> handler;
    };

    struct Clock {
        double now = 0;
        std::uint64_t nextId = 0;
        std::uint64_t nextSequence = 0;
        std::map<std::uint64_t, Entry> pending;
    };

    class Timer : public ScheduledTimer {
    public:
        Timer(std::weak_ptr<Clock> clock, std::uint64_t id) : clock_(std::move(clock)), id_(id) {}
        ~Timer() override {
            if (auto clock = clock_.lock()) {
                clock->pending.erase(id_);
            }
        }

    private:
        std::weak_ptr<Clock> clock_;
        std::uint64_t id_;
    };

    std::optional<std::uint64_t> nextDue(double target) const {
        std::optional<std::uint64_t> best;
        const Entry* bestEntry = nullptr;
        for (const auto& [id, entry] : clock_->pending) {
            if (entry.due > target + tolerance) {
                continue;
            }
            if (!bestEntry || entry.due < bestEntry->due ||
                (entry.due == bestEntry->due && entry.sequence < bestEntry->sequence)) {
                best = id;
                bestEntry = &entry;
            }
        }
        return best;
    }

    std::shared_ptr<Clock> clock_ = std::make_shared<Clock>();
};

#include "IdleMonitor.h"

#include "Scheduler.h"

IdleMonitor::IdleMonitor(Scheduler& scheduler, IdleSource idleSeconds,
                         std::function<void()> onReturn)
    : scheduler_(scheduler), idleSeconds_(std::move(idleSeconds)), onReturn_(std::move(onReturn)) {
}

IdleMonitor::~IdleMonitor() = default;

void IdleMonitor::start() {
    timer_ = scheduler_.schedule(
        intervalSeconds, [this] { check(); }, true);
}

void IdleMonitor::check() {
    if (asking_) {
        return;
    }
    asking_ = true;
    idleSeconds_([this, alive = std::weak_ptr<bool>(alive_)](std::optional<double> idle) {
        if (!alive.expired()) {
            answered(idle);
        }
    });
}

void IdleMonitor::answered(std::optional<double> idle) {
    asking_ = false;
    if (!idle) {
        return;
    }
    if (*idle >= awaySeconds) {
        wasAway_ = true;
    } else if (wasAway_) {
        // Consumed even when the pet is too busy to greet: the next greeting needs a new break.
        wasAway_ = false;
        onReturn_();
    }
}

#include "QtScheduler.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimerEvent>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <memory>
#include <unordered_map>

namespace {

// Qt timers are driven through one object's timer events rather than one QTimer per timer: a
// handler may then drop its own timer (and so the object that emitted the signal) safely, and a
// cancelled timer is forgotten at once, so a timer event already queued for it does nothing.
class TimerHost : public QObject {
public:
    struct Armed {
        int timerId = 0;
        std::uint64_t serial = 0;
    };

    Armed arm(double delaySeconds, std::function<void()> handler, bool repeating) {
        const double ms = std::round(delaySeconds * 1000.0);
        const int interval =
            ms <= 0 ? 0 : static_cast<int>(std::min(ms, double(std::numeric_limits<int>::max())));
        const int timerId = startTimer(interval, Qt::PreciseTimer);
        if (timerId == 0) {
            return {};
        }
        const std::uint64_t serial = nextSerial_++;
        entries_[timerId] =
            Entry{serial, repeating, std::make_shared<std::function<void()>>(std::move(handler))};
        return {timerId, serial};
    }

    // Qt reuses the ids of killed timers; the serial tells a later timer with the same id apart.
    void cancel(const Armed& armed) {
        auto it = entries_.find(armed.timerId);
        if (it != entries_.end() && it->second.serial == armed.serial) {
            killTimer(armed.timerId);
            entries_.erase(it);
        }
    }

protected:
    void timerEvent(QTimerEvent* event) override {
        auto it = entries_.find(event->timerId());
        if (it == entries_.end()) {
            return;
        }
        // Kept alive here because the handler may cancel its own timer.
        auto handler = it->second.handler;
        if (!it->second.repeating) {
            killTimer(it->first);
            entries_.erase(it);
        }
        (*handler)();
    }

private:
    struct Entry {
        std::uint64_t serial;
        bool repeating;
        std::shared_ptr<std::function<void()>> handler;
    };

    std::uint64_t nextSerial_ = 1;
    std::unordered_map<int, Entry> entries_;
};

class QtTimer : public ScheduledTimer {
public:
    QtTimer(std::weak_ptr<TimerHost> host, TimerHost::Armed armed)
        : host_(std::move(host)), armed_(armed) {}
    ~QtTimer() override {
        if (auto host = host_.lock()) {
            host->cancel(armed_);
        }
    }

private:
    std::weak_ptr<TimerHost> host_;
    TimerHost::Armed armed_;
};

} // namespace

struct QtScheduler::Impl {
    QElapsedTimer clock;
    std::shared_ptr<TimerHost> host = std::make_shared<TimerHost>();
};

QtScheduler::QtScheduler() : impl_(std::make_unique<Impl>()) {
    impl_->clock.start();
}

QtScheduler::~QtScheduler() = default;

double QtScheduler::now() const {
    return double(impl_->clock.nsecsElapsed()) / 1e9;
}

std::unique_ptr<ScheduledTimer>
QtScheduler::schedule(double delaySeconds, std::function<void()> handler, bool repeating) {
    const auto armed = impl_->host->arm(delaySeconds, std::move(handler), repeating);
    return std::make_unique<QtTimer>(impl_->host, armed);
}

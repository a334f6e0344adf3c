#include "AvatarEngine.h"

#include "Scheduler.h"
#include "StateFileContract.h"
#include "TextFormat.h"

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

namespace {

constexpr double throttleInterval = 0.4;
constexpr double thinkingInterval = 4.5;
constexpr double recapHideDelay = 30.0;
constexpr double walkStopDelay = 0.12;
constexpr double walkStepThreshold = 0.5;
constexpr int bubbleLimit = StateFileContract::messageLimit;

bool isOneShot(HatchState state) {
    return state == HatchState::waving || state == HatchState::jumping;
}

} // namespace

struct AvatarEngine::Impl {
    // One delivered state without its terminal origin, which is stored as soon as it arrives.
    struct Delivery {
        QString stateString;
        std::optional<QString> message;
        std::optional<QString> label;
        std::optional<QString> recap;
        bool isThinking = false;
    };

    Impl(AvatarEngine& engine, Scheduler& scheduler) : engine(engine), scheduler(scheduler) {}

    AvatarEngine& engine;
    Scheduler& scheduler;

    bool sheet = false;
    bool placeholderVisible = true;
    HatchState currentState = HatchState::idle;
    int currentFrameIndex = 0;
    std::unique_ptr<ScheduledTimer> frameTimer;
    HatchState oneShotReturnState = HatchState::idle;
    std::optional<QString> lastRecap;
    std::unique_ptr<ScheduledTimer> recapHideTimer;
    // None until the first change: a clock that starts at zero must not throttle the first apply.
    std::optional<double> lastStateChangeTime;
    std::optional<Delivery> throttledApply;
    std::unique_ptr<ScheduledTimer> throttleTimer;
    int thinkingIndex = 0;
    std::unique_ptr<ScheduledTimer> thinkingTimer;
    Bubble bubble;
    std::optional<TerminalOrigin> sourceOrigin;
    bool isWalking = false;
    std::optional<Delivery> pendingState;
    HatchState stateBeforeDrag = HatchState::idle;
    std::unique_ptr<ScheduledTimer> walkStopTimer;

    bool changed = false;

    // Every call from outside (public operation or timer) goes through here, so the view hears
    // of a burst of internal changes once, after the engine is consistent again.
    template <typename Body> void entry(Body&& body) {
        body();
        if (changed) {
            changed = false;
            if (engine.onChanged) {
                engine.onChanged();
            }
        }
    }

    // The previous timer in the field is cancelled before its successor is stored.
    void arm(std::unique_ptr<ScheduledTimer>& field, double delaySeconds,
             std::function<void()> handler, bool repeating = false) {
        field.reset();
        field = scheduler.schedule(
            delaySeconds, [this, handler = std::move(handler)] { entry(handler); }, repeating);
    }

    void deliver(Delivery delivery) {
        if (isWalking) {
            pendingState = std::move(delivery);
            return;
        }
        const HatchState newState = HatchState::fromHookState(delivery.stateString);
        if (newState != currentState && lastStateChangeTime) {
            const double wait = *lastStateChangeTime + throttleInterval - scheduler.now();
            if (wait > 0) {
                throttledApply = std::move(delivery);
                scheduleThrottleFlush(wait);
                return;
            }
        }
        run(delivery);
    }

    void run(const Delivery& delivery) {
        const HatchState newState = HatchState::fromHookState(delivery.stateString);
        if (isOneShot(newState)) {
            oneShotReturnState = HatchState::idle;
        }
        setState(newState);
        updateBubble(delivery.message, delivery.label);
        if (delivery.recap && !delivery.recap->isEmpty()) {
            lastRecap = delivery.recap;
        }
        recapHideTimer.reset();
        const auto seed =
            delivery.isThinking ? TextFormat::compact(delivery.message, bubbleLimit) : std::nullopt;
        if (seed) {
            startThinkingRotation(*seed);
        } else {
            thinkingTimer.reset();
        }
    }

    void scheduleThrottleFlush(double wait) {
        if (throttleTimer) {
            return;
        }
        arm(throttleTimer, wait, [this] {
            throttleTimer.reset();
            auto delivery = std::exchange(throttledApply, std::nullopt);
            if (!delivery) {
                return;
            }
            // A state held back before a walk began must not interrupt the walk and then be
            // overwritten by the state restored at release; it waits like any state that arrives
            // during the walk, unless a newer one already does.
            if (isWalking) {
                if (!pendingState) {
                    pendingState = std::move(delivery);
                }
                return;
            }
            run(*delivery);
        });
    }

    void setState(HatchState state) {
        if (state == currentState) {
            return;
        }
        currentState = state;
        currentFrameIndex = 0;
        lastStateChangeTime = scheduler.now();
        thinkingTimer.reset();
        scheduleNextFrame();
    }

    void scheduleNextFrame() {
        frameTimer.reset();
        if (!sheet) {
            return;
        }
        const std::vector<double> durations = currentState.frameDurations();
        if (durations.empty()) {
            return;
        }
        const int count = static_cast<int>(durations.size());
        const int index = currentFrameIndex % count;
        currentFrameIndex = index;
        changed = true;
        arm(frameTimer, durations[index], [this, index, count] {
            if (index == count - 1 && isOneShot(currentState)) {
                setState(oneShotReturnState);
                return;
            }
            currentFrameIndex = (index + 1) % count;
            scheduleNextFrame();
        });
    }

    void play(HatchState target) {
        if (!sheet || isWalking) {
            return;
        }
        oneShotReturnState = isOneShot(currentState) ? HatchState(HatchState::idle) : currentState;
        if (currentState != target) {
            setState(target);
        } else {
            currentFrameIndex = 0;
            scheduleNextFrame();
        }
    }

    void setBubble(Bubble next) {
        if (bubble != next) {
            bubble = std::move(next);
            changed = true;
        }
    }

    void hideBubble() {
        if (bubble.visible) {
            bubble.visible = false;
            changed = true;
        }
    }

    // The label is compacted like the message: it comes from the same file, and the view lays
    // out whatever it is given.
    void updateBubble(const std::optional<QString>& message, const std::optional<QString>& label) {
        auto text = TextFormat::compact(message, bubbleLimit);
        if (!text) {
            hideBubble();
            return;
        }
        setBubble(Bubble{true, std::move(*text), TextFormat::compact(label, bubbleLimit)});
    }

    void startThinkingRotation(const QString& seed) {
        thinkingTimer.reset();
        // The hook's text may come decomposed (from a system that stores "ど" as "と" plus a
        // mark); it is still the same phrase.
        thinkingIndex = std::max(0, static_cast<int>(thinkingPhrases().indexOf(
                                        seed.normalized(QString::NormalizationForm_C))));
        arm(
            thinkingTimer, thinkingInterval,
            [this] {
                const QStringList& phrases = thinkingPhrases();
                thinkingIndex = (thinkingIndex + 1) % static_cast<int>(phrases.size());
                setBubble(Bubble{true, phrases[thinkingIndex], std::nullopt});
            },
            true);
    }

    void scheduleRecapAutoHide() {
        arm(recapHideTimer, recapHideDelay, [this] {
            if (currentState == HatchState::idle) {
                hideBubble();
            }
            recapHideTimer.reset();
        });
    }

    void scheduleWalkStop() {
        arm(walkStopTimer, walkStopDelay, [this] {
            if (isWalking) {
                setState(HatchState::idle);
            }
        });
    }
};

AvatarEngine::AvatarEngine(Scheduler& scheduler) : impl_(std::make_unique<Impl>(*this, scheduler)) {
}

AvatarEngine::~AvatarEngine() = default;

void AvatarEngine::apply(const QString& stateString, const std::optional<QString>& message,
                         const std::optional<QString>& label, const std::optional<QString>& recap,
                         bool isThinking, const std::optional<TerminalOrigin>& origin) {
    impl_->entry([&] {
        impl_->sourceOrigin = origin;
        impl_->deliver({stateString, message, label, recap, isThinking});
    });
}

void AvatarEngine::playJump() {
    impl_->entry([&] { impl_->play(HatchState::jumping); });
}

void AvatarEngine::playWave() {
    impl_->entry([&] { impl_->play(HatchState::waving); });
}

void AvatarEngine::sheetLoaded() {
    impl_->entry([&] {
        impl_->sheet = true;
        if (impl_->placeholderVisible) {
            impl_->placeholderVisible = false;
            impl_->changed = true;
        }
        impl_->currentFrameIndex = 0;
        impl_->scheduleNextFrame();
    });
}

void AvatarEngine::unloadPet() {
    impl_->entry([&] {
        impl_->sheet = false;
        impl_->frameTimer.reset();
        impl_->thinkingTimer.reset();
        impl_->placeholderVisible = true;
        impl_->changed = true;
    });
}

void AvatarEngine::replayRecap() {
    impl_->entry([&] {
        if (!impl_->lastRecap || impl_->currentState != HatchState::idle || impl_->isWalking) {
            return;
        }
        impl_->updateBubble(impl_->lastRecap, QStringLiteral("おつかれ"));
        impl_->scheduleRecapAutoHide();
    });
}

void AvatarEngine::setLastRecap(const QString& recap) {
    if (!recap.isEmpty()) {
        impl_->lastRecap = recap;
    }
}

void AvatarEngine::walkStep(double dx) {
    impl_->entry([&] {
        if (std::abs(dx) <= walkStepThreshold) {
            return;
        }
        if (!impl_->isWalking) {
            impl_->isWalking = true;
            impl_->stateBeforeDrag = impl_->currentState;
        }
        impl_->setState(dx > 0 ? HatchState::runningRight : HatchState::runningLeft);
        impl_->scheduleWalkStop();
    });
}

bool AvatarEngine::endWalk() {
    bool walked = false;
    impl_->entry([&] {
        impl_->walkStopTimer.reset();
        if (!impl_->isWalking) {
            return;
        }
        walked = true;
        impl_->isWalking = false;
        if (auto pending = std::exchange(impl_->pendingState, std::nullopt)) {
            // The origin that came with the held-back state is already the stored one; passing it
            // on keeps a click on the bubble pointed at that terminal.
            impl_->deliver(std::move(*pending));
        } else {
            impl_->setState(impl_->stateBeforeDrag);
        }
    });
    return walked;
}

HatchState AvatarEngine::currentState() const {
    return impl_->currentState;
}

int AvatarEngine::currentFrameIndex() const {
    return impl_->currentFrameIndex;
}

bool AvatarEngine::hasSheet() const {
    return impl_->sheet;
}

bool AvatarEngine::placeholderVisible() const {
    return impl_->placeholderVisible;
}

const AvatarEngine::Bubble& AvatarEngine::bubble() const {
    return impl_->bubble;
}

const std::optional<QString>& AvatarEngine::lastRecap() const {
    return impl_->lastRecap;
}

const std::optional<TerminalOrigin>& AvatarEngine::sourceOrigin() const {
    return impl_->sourceOrigin;
}

bool AvatarEngine::isWalking() const {
    return impl_->isWalking;
}

const QStringList& AvatarEngine::thinkingPhrases() {
    static const QStringList phrases = {
        QString::fromUtf8(StateFileContract::thinkingSeed),
        QStringLiteral("次どうしよ…"),
        QStringLiteral("うーん…"),
        QStringLiteral("もうちょい…"),
    };
    return phrases;
}

#include "HatchState.h"

#include "StateFileContract.h"

#include <string_view>
#include <utility>

namespace {

namespace State = StateFileContract::State;

QString composed(const QString& text) {
    return text.normalized(QString::NormalizationForm_C);
}

// A steady pace with a longer hold on the last frame.
std::vector<double> paced(int frames, double step, double hold) {
    std::vector<double> durations(static_cast<size_t>(frames - 1), step);
    durations.push_back(hold);
    return durations;
}

} // namespace

const std::array<HatchState, 9>& HatchState::allCases() {
    static const std::array<HatchState, 9> cases = {
        idle, runningRight, runningLeft, waving, jumping, failed, waiting, running, review,
    };
    return cases;
}

QString HatchState::rawValue() const {
    // The states the hook writes are named as in the state file; the rest are the app's own.
    static const std::string_view names[] = {
        State::idle,   "running-right", "running-left", State::waving, "jumping",
        State::failed, State::waiting,  State::running, State::review,
    };
    return QString::fromLatin1(names[value_].data(), qsizetype(names[value_].size()));
}

std::vector<double> HatchState::frameDurations() const {
    switch (value_) {
    case idle:
        return {0.28, 0.11, 0.11, 0.14, 0.14, 0.32};
    case runningRight:
    case runningLeft:
        return paced(8, 0.12, 0.22);
    case waving:
        return paced(4, 0.14, 0.28);
    case jumping:
        return paced(5, 0.14, 0.28);
    case failed:
        return paced(8, 0.14, 0.24);
    case waiting:
        return paced(6, 0.15, 0.26);
    case running:
        return paced(6, 0.12, 0.22);
    case review:
        return paced(6, 0.15, 0.28);
    }
    return {0.28};
}

std::optional<HatchState> HatchState::fromRawValue(const QString& raw) {
    const QString name = composed(raw);
    for (HatchState state : allCases()) {
        if (state.rawValue() == name) {
            return state;
        }
    }
    return std::nullopt;
}

HatchState HatchState::fromHookState(const QString& name) {
    if (auto state = fromRawValue(name)) {
        return *state;
    }
    static const std::pair<const char*, Value> aliases[] = {
        {"thinking", review}, {"working", running},  {"typing", running}, {"done", waving},
        {"success", waving},  {"celebrate", waving}, {"error", failed},   {"fail", failed},
        {"sleeping", idle},   {"jump", jumping},
    };
    const QString key = composed(name);
    for (const auto& [alias, state] : aliases) {
        if (key == QLatin1String(alias)) {
            return state;
        }
    }
    return idle;
}

#pragma once

#include <QHashFunctions>
#include <QString>
#include <array>
#include <optional>
#include <vector>

// The nine animations a pet can play. The position of a case is also its row in the sprite sheet.
class HatchState {
public:
    enum Value : int {
        idle,
        runningRight,
        runningLeft,
        waving,
        jumping,
        failed,
        waiting,
        running,
        review,
    };

    constexpr HatchState(Value value = idle) : value_(value) {}
    constexpr operator Value() const { return value_; }

    static const std::array<HatchState, 9>& allCases();
    // Exact match against the raw names (after canonical composition); nothing otherwise.
    static std::optional<HatchState> fromRawValue(const QString& raw);
    // Total mapping from a hook state name, accepting the raw names and a few aliases.
    static HatchState fromHookState(const QString& name);

    QString rawValue() const;
    int row() const { return static_cast<int>(value_); }
    std::vector<double> frameDurations() const;
    int frameCount() const { return static_cast<int>(frameDurations().size()); }

private:
    Value value_;
};

inline size_t qHash(HatchState state, size_t seed = 0) noexcept {
    return ::qHash(static_cast<int>(HatchState::Value(state)), seed);
}

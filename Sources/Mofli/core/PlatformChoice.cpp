#include "PlatformChoice.h"

namespace PlatformChoice {

Choice choose(const QProcessEnvironment& environment) {
    // A choice the user made stands.
    if (!environment.value(QStringLiteral("QT_QPA_PLATFORM")).isEmpty()) {
        return {};
    }
    const bool wayland =
        environment.value(QStringLiteral("XDG_SESSION_TYPE")) == QLatin1String("wayland") ||
        !environment.value(QStringLiteral("WAYLAND_DISPLAY")).isEmpty();
    if (!wayland) {
        return {};
    }
    if (!environment.value(QStringLiteral("DISPLAY")).isEmpty()) {
        return {QStringLiteral("xcb"), false};
    }
    return {std::nullopt, true};
}

} // namespace PlatformChoice

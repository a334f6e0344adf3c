#pragma once

#include <QProcessEnvironment>
#include <QString>
#include <optional>

// Which Qt platform plugin the app should ask for, decided before the application object exists.
// Qt cannot place or raise windows on Wayland, so the pet could neither sit in its corner nor be
// dragged there; XWayland, where it runs, gives it X11 instead.
namespace PlatformChoice {

struct Choice {
    // The plugin to put into QT_QPA_PLATFORM; nothing: leave Qt's own choice.
    std::optional<QString> platform;
    // A Wayland session without XWayland: the pet starts, but where it stands is up to the
    // compositor.
    bool placementLimited = false;
};

Choice choose(const QProcessEnvironment& environment);

} // namespace PlatformChoice

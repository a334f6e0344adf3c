#pragma once

#include <optional>

// The session's idle time from the desktop's D-Bus services, for sessions where the X server
// cannot tell (Wayland): GNOME's Mutter idle monitor, else the screen saver service that KDE
// offers. Each question waits at most a quarter of a second, so an answer takes at most half a
// second: ask from a thread other than the GUI thread.
namespace DBusIdleTime {

// Seconds since the last input; nothing without a session bus or a service that answers.
std::optional<double> secondsSinceLastInput();

} // namespace DBusIdleTime

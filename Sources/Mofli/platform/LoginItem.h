#pragma once

// Starting the app when the user logs in: an XDG autostart entry on Linux, a login item of the
// system on macOS. What the functions report is what is registered, never a remembered wish.
namespace LoginItem {

bool isEnabled();
// True when the registration now matches `enabled`.
bool setEnabled(bool enabled);

} // namespace LoginItem

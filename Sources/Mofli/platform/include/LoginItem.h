#pragma once

// Starting the app when the user logs in: an XDG autostart entry on Linux, a login item of the
// system on macOS. What it reports is what is registered, never a remembered wish.
class LoginItem {
public:
    virtual ~LoginItem() = default;

    virtual bool isEnabled() const = 0;
    // True when the registration now matches `enabled`.
    virtual bool setEnabled(bool enabled) = 0;
};

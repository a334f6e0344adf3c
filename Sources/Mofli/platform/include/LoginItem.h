#pragma once

// Starting the app when the user logs in: an XDG autostart entry on Linux, a login item of the
// system on macOS. What it reports is what is registered, never a remembered wish.
class LoginItem {
public:
    enum class Availability {
        Available,
        // macOS registers only an app started from its signed bundle, not a bare executable.
        NeedsAppBundle,
    };

    virtual ~LoginItem() = default;

    virtual Availability availability() const { return Availability::Available; }
    // Registered, whether or not the system lets it start the app yet.
    virtual bool isEnabled() const = 0;
    // Registered, but the system starts the app only once the user has allowed it there.
    virtual bool awaitsApproval() const { return false; }
    // True when the registration now matches `enabled`.
    virtual bool setEnabled(bool enabled) = 0;
};

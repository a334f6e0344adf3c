#pragma once

// Updates of the app itself. On macOS, when the app runs from its bundle and was built with the
// Sparkle framework, Sparkle looks for updates in the background and on request; elsewhere there
// is nothing to check and the menu rows stay disabled.
class Updater {
public:
    virtual ~Updater() = default;

    // Starts background checks; true when the app can check for updates.
    virtual bool start() = 0;
    virtual bool isAvailable() const = 0;
    // The user asked: checks now and shows what it found.
    virtual void checkForUpdates() = 0;
};

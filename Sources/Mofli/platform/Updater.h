#pragma once

// Updates of the app itself. On macOS, when the app runs from its bundle and was built with the
// Sparkle framework, Sparkle looks for updates in the background and on request; elsewhere there
// is nothing to check and the menu rows stay disabled.
namespace Updater {

// Starts background checks; true when the app can check for updates.
bool start();
bool isAvailable();
// The user asked: checks now and shows what it found.
void checkForUpdates();

} // namespace Updater

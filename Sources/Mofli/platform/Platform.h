#pragma once

#include <memory>

class QWidget;

// What the app needs from the desktop beyond Qt. One implementation per windowing system:
// X11 on Linux, AppKit on macOS, and a dummy for offscreen runs and anything unknown.
class Platform {
public:
    virtual ~Platform() = default;

    // The implementation for the Qt platform plugin in use. Call after the application object
    // exists.
    static std::unique_ptr<Platform> create();

    // Whether translucent windows are blended with the desktop. Without a compositing manager the
    // transparent parts of a window show black, so the window must be shaped to its visible
    // pixels.
    virtual bool compositesTranslucentWindows() const = 0;
    // Keeps the window on every workspace and out of task bars and pagers. Call for every native
    // window the widget gets, best before it is shown.
    virtual void showOnAllWorkspaces(QWidget* window) = 0;
    // No Dock icon and no menu bar of the app's own: it lives in the tray and on the desktop.
    virtual void becomeAccessoryApplication() = 0;
};

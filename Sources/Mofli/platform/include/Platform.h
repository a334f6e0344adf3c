#pragma once

#include "FileEventSource.h"

#include <functional>
#include <memory>
#include <optional>

class LoginItem;
class QObject;
class QRegion;
class QString;
class QWidget;
class QWindow;
class Updater;
struct TerminalOrigin;

// What the app needs from the desktop beyond Qt. One implementation per windowing system: X11 on
// Linux, AppKit on macOS, and a dummy for offscreen runs and anything unknown; what the operating
// system offers whatever the windowing system (starting at login, updates, file notifications)
// comes with each. PlatformFactory picks the one for the session.
class Platform {
public:
    virtual ~Platform() = default;

    // Whether translucent windows are blended with the desktop. Without a compositing manager the
    // transparent parts of a window show black, so the window must be shaped to its visible
    // pixels.
    virtual bool compositesTranslucentWindows() const = 0;
    // Shapes the window to `visible` (its own coordinates) for drawing, where translucent windows
    // are not blended. Presses anywhere in the window's rectangle still reach it, as they do on a
    // compositing desktop. Call again whenever the visible pixels change. Takes the widget, not its
    // native window: Qt replaces that when the window's flags change, and the shape must follow.
    virtual void shapeToVisiblePixels(QWidget* window, const QRegion& visible);
    // Keeps the window on every workspace and out of task bars and pagers. Call for every native
    // window a widget gets, best before it is shown.
    virtual void showOnAllWorkspaces(QWindow* window) = 0;
    // Puts the native window at the stacking level the always-on-top preference asks for, where
    // the window flags alone do not. Call whenever a widget gets a native window and after it is
    // shown.
    virtual void applyStacking(QWindow* window, bool alwaysOnTop);
    // No Dock icon and no menu bar of the app's own: it lives in the tray and on the desktop.
    virtual void becomeAccessoryApplication() = 0;
    // Puts the shown `window` in front of every other application's windows and makes the app
    // active for it: an accessory app is rarely active, and its alerts would open behind the
    // terminal the user works in.
    virtual void bringForward(QWidget* window);
    // Whether a tray (status bar) can show the app's icon right now; a panel that starts after
    // the app brings one later.
    virtual bool systemTrayAvailable() const;

    // What an idle-time question is answered with: seconds since the last input, or nothing.
    using IdleReply = std::function<void(std::optional<double>)>;
    // Asks for the seconds since the user last moved or clicked the mouse, scrolled, or pressed
    // a key (a modifier alone included), without waiting for a desktop service: `reply` gets the
    // answer on the GUI thread, at once or within half a second, with nothing where the desktop
    // does not tell, and is dropped if `context` is gone by then. Only asks for the number: no
    // event is watched, so no permission is needed.
    virtual void secondsSinceLastInput(QObject* context, IdleReply reply) = 0;
    // Shows the folder at `dir` in the desktop's file browser.
    virtual void openFolder(const QString& dir);

    // Brings the terminal tab or window of `origin` to the front. Where finding it means asking
    // other programs, that runs off the GUI thread, bounded in time. `done` then gets, on the GUI
    // thread, whether a window was asked forward (false: nothing could be attempted, and the pet
    // jumps instead); it is dropped if `context` is gone by then.
    virtual void activateTerminal(const TerminalOrigin& origin, QObject* context,
                                  std::function<void(bool)> done) = 0;
    // Whether activateTerminal() can be attempted for `origin` at all: the pointer shows a hand
    // over the bubble only then. Cheap, asked on every pointer move.
    virtual bool canActivateTerminal(const TerminalOrigin& origin) const = 0;

    // Starting the app when the user logs in.
    virtual LoginItem& loginItem() = 0;
    // Updates of the app itself.
    virtual Updater& updater() = 0;
    // Watches `filePath` with the system's change notifications and starts reporting; nothing
    // when the system has none to give (the caller then polls).
    virtual std::unique_ptr<FileEventSource> watchFile(const QString& filePath,
                                                       FileEventSource::Handler onEvent) = 0;
};

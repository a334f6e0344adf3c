#include "MacPlatform.h"

#include "AppleScript.h"
#include "TerminalActivator.h"

#import <AppKit/AppKit.h>
#include <CoreGraphics/CoreGraphics.h>
#include <QWidget>
#include <QWindow>
#include <algorithm>
#include <limits>

namespace {

// The AppKit window under the widget's current native view. Only for the Cocoa platform plugin,
// the one plugin whose window ids are NSView pointers (Platform::create() makes sure).
NSWindow* nativeWindow(QWidget* widget) {
    const WId created = widget->winId();
    // QWidget::winId() can still name the view that setWindowFlags() replaced; the widget's
    // QWindow knows the current one.
    const WId current = widget->windowHandle() ? widget->windowHandle()->winId() : created;
    return reinterpret_cast<NSView*>(current).window;
}

} // namespace

bool MacPlatform::compositesTranslucentWindows() const {
    return true;
}

void MacPlatform::showOnAllWorkspaces(QWidget* widget) {
    if (!widget) {
        return;
    }
    NSWindow* window = nativeWindow(widget);
    // Joins all spaces, full-screen ones too (over a full-screen terminal), stays put when spaces
    // change, and is skipped by window cycling. Assigned whole rather than added to what Qt set,
    // since AppKit forbids some pairs (joining all spaces and moving to the active one).
    window.collectionBehavior =
        NSWindowCollectionBehaviorCanJoinAllSpaces | NSWindowCollectionBehaviorFullScreenAuxiliary |
        NSWindowCollectionBehaviorStationary | NSWindowCollectionBehaviorIgnoresCycle;
}

void MacPlatform::applyStacking(QWidget* widget, bool alwaysOnTop) {
    if (!widget || alwaysOnTop) {
        // Qt's level for a tool window that stays on top is already above the others.
        return;
    }
    // Qt puts every tool window on the floating level, above all normal windows.
    nativeWindow(widget).level = NSNormalWindowLevel;
}

void MacPlatform::becomeAccessoryApplication() {
    [NSApp setActivationPolicy:NSApplicationActivationPolicyAccessory];
}

void MacPlatform::secondsSinceLastInput(QObject*, IdleReply reply) {
    // Asking for the age of the last event of a type needs no permission, unlike watching events.
    const CGEventType watched[] = {kCGEventLeftMouseDown, kCGEventRightMouseDown,
                                   kCGEventMouseMoved,    kCGEventKeyDown,
                                   kCGEventScrollWheel,   kCGEventFlagsChanged};
    double idle = std::numeric_limits<double>::infinity();
    for (const CGEventType type : watched) {
        idle = std::min(idle, CGEventSourceSecondsSinceLastEventType(
                                  kCGEventSourceStateCombinedSessionState, type));
    }
    // A local query that answers at once.
    reply(idle);
}

void MacPlatform::activateTerminal(const TerminalOrigin& origin, QObject*,
                                   std::function<void(bool)> done) {
    // AppleScript runs on the main thread, where AppKit wants it; the scripts are short.
    const std::optional<QString> script = TerminalActivator::scriptFor(origin);
    done(script && AppleScript::run(*script));
}

bool MacPlatform::canActivateTerminal(const TerminalOrigin&) const {
    // Every known origin: whether it yields a script shows at the click, which then jumps.
    return true;
}

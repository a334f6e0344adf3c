#include "MacPlatform.h"

#include "ScriptProcess.h"
#include "TerminalActivator.h"

#import <AppKit/AppKit.h>
#include <CoreGraphics/CoreGraphics.h>
#include <QWindow>
#include <algorithm>
#include <chrono>
#include <limits>

namespace {

// The AppKit window under the window's native view. Only for the Cocoa platform plugin, the one
// plugin whose window ids are NSView pointers (PlatformFactory::create() makes sure).
NSWindow* nativeWindow(QWindow* window) {
    return reinterpret_cast<NSView*>(window->winId()).window;
}

} // namespace

bool MacPlatform::compositesTranslucentWindows() const {
    return true;
}

void MacPlatform::showOnAllWorkspaces(QWindow* qtWindow) {
    if (!qtWindow) {
        return;
    }
    NSWindow* window = nativeWindow(qtWindow);
    // Joins all spaces, full-screen ones too (over a full-screen terminal), stays put when spaces
    // change, and is skipped by window cycling. Assigned whole rather than added to what Qt set,
    // since AppKit forbids some pairs (joining all spaces and moving to the active one).
    window.collectionBehavior =
        NSWindowCollectionBehaviorCanJoinAllSpaces | NSWindowCollectionBehaviorFullScreenAuxiliary |
        NSWindowCollectionBehaviorStationary | NSWindowCollectionBehaviorIgnoresCycle;
}

void MacPlatform::applyStacking(QWindow* window, bool alwaysOnTop) {
    if (!window || alwaysOnTop) {
        // Qt's level for a tool window that stays on top is already above the others.
        return;
    }
    // Qt puts every tool window on the floating level, above all normal windows.
    nativeWindow(window).level = NSNormalWindowLevel;
}

void MacPlatform::becomeAccessoryApplication() {
    [NSApp setActivationPolicy:NSApplicationActivationPolicyAccessory];
}

void MacPlatform::bringForward(QWidget* window) {
    // Qt activates the app when raising a window only if QT_MAC_SET_RAISE_PROCESS allows it.
    [NSApp activateIgnoringOtherApps:YES];
    Platform::bringForward(window);
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

void MacPlatform::activateTerminal(const TerminalOrigin& origin, QObject* context,
                                   std::function<void(bool)> done) {
    const std::optional<QString> script = TerminalActivator::scriptFor(origin);
    if (!script) {
        done(false);
        return;
    }
    // In a process of its own rather than through NSAppleScript, which must run on the main
    // thread: the first script waits for the user to answer the system's consent prompt, and
    // the pet must go on meanwhile. An Apple event gives up after two minutes by default.
    ScriptProcess::run(QStringLiteral("/usr/bin/osascript"), *script, std::chrono::minutes(3),
                       context, std::move(done));
}

bool MacPlatform::canActivateTerminal(const TerminalOrigin&) const {
    // Every known origin: whether it yields a script shows at the click, which then jumps.
    return true;
}

#include "X11Platform.h"

#include "Background.h"
#include "DBusIdleTime.h"
#include "X11TerminalActivation.h"
#include "X11WindowShape.h"

#include <QByteArray>
#include <QGuiApplication>
#include <QWidget>
#include <QWindow>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/scrnsaver.h>
#include <algorithm>
#include <cstdint>
#include <vector>

namespace {

// Only the xcb platform has an X display; offscreen and Wayland sessions have none.
Display* x11Display() {
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->display() : nullptr;
}

// EWMH: a mapped window asks the window manager for changes through client messages to the root.
void sendToWindowManager(Display* display, Window window, const char* messageType,
                         std::initializer_list<long> data) {
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display, messageType, False);
    event.xclient.format = 32;
    int i = 0;
    for (long value : data) {
        event.xclient.data.l[i++] = value;
    }
    XSendEvent(display, DefaultRootWindow(display), False,
               SubstructureRedirectMask | SubstructureNotifyMask, &event);
}

std::vector<Atom> windowStates(Display* display, Window window) {
    Atom type = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long remaining = 0;
    unsigned char* data = nullptr;
    std::vector<Atom> states;
    if (XGetWindowProperty(display, window, XInternAtom(display, "_NET_WM_STATE", False), 0, 1024,
                           False, XA_ATOM, &type, &format, &count, &remaining, &data) == Success &&
        data != nullptr && format == 32) {
        const auto* atoms = reinterpret_cast<const Atom*>(data);
        states.assign(atoms, atoms + count);
    }
    if (data) {
        XFree(data);
    }
    return states;
}

// The X server's own idle time, from its screen saver extension, which counts every kind of
// input, modifier keys included. A local question that is answered at once.
std::optional<double> screenSaverIdleSeconds() {
    Display* display = x11Display();
    int eventBase = 0;
    int errorBase = 0;
    if (display && XScreenSaverQueryExtension(display, &eventBase, &errorBase)) {
        XScreenSaverInfo info{};
        if (XScreenSaverQueryInfo(display, DefaultRootWindow(display), &info)) {
            return double(info.idle) / 1000.0;
        }
    }
    return std::nullopt;
}

} // namespace

X11Platform::X11Platform() {
    // A terminal search and an idle-time question at most; later ones wait their turn.
    background_.setMaxThreadCount(2);
}

bool X11Platform::compositesTranslucentWindows() const {
    Display* display = x11Display();
    if (!display) {
        return true;
    }
    const QByteArray selection = "_NET_WM_CM_S" + QByteArray::number(DefaultScreen(display));
    const Atom atom = XInternAtom(display, selection.constData(), False);
    return XGetSelectionOwner(display, atom) != None;
}

void X11Platform::shapeToVisiblePixels(QWidget* window, const QRegion& visible) {
    Display* display = x11Display();
    if (!display) {
        Platform::shapeToVisiblePixels(window, visible);
        return;
    }
    auto* shape = window->findChild<X11WindowShape*>(QString(), Qt::FindDirectChildrenOnly);
    if (!shape) {
        shape = new X11WindowShape(display, window);
    }
    shape->setVisiblePixels(visible);
}

void X11Platform::showOnAllWorkspaces(QWindow* qtWindow) {
    Display* display = x11Display();
    if (!display || !qtWindow) {
        return;
    }
    const auto window = static_cast<Window>(qtWindow->winId());
    const auto atom = [display](const char* name) {
        return XInternAtom(display, name, False);
    };
    const Atom wanted[] = {atom("_NET_WM_STATE_STICKY"), atom("_NET_WM_STATE_SKIP_TASKBAR"),
                           atom("_NET_WM_STATE_SKIP_PAGER")};
    // Window managers read the properties of a window when it is mapped, and ignore requests
    // about a window that is not mapped yet (as when this runs from a show event). Qt keeps
    // state atoms it does not know when it writes its own before mapping.
    const unsigned long allDesktops = 0xFFFFFFFFul;
    XChangeProperty(display, window, atom("_NET_WM_DESKTOP"), XA_CARDINAL, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&allDesktops), 1);
    std::vector<Atom> states = windowStates(display, window);
    for (Atom state : wanted) {
        if (std::find(states.begin(), states.end(), state) == states.end()) {
            states.push_back(state);
        }
    }
    XChangeProperty(display, window, atom("_NET_WM_STATE"), XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(states.data()), int(states.size()));
    // A window that is already mapped changes only on request.
    constexpr long addState = 1;
    constexpr long normalSource = 1;
    sendToWindowManager(display, window, "_NET_WM_DESKTOP", {long(allDesktops), normalSource});
    sendToWindowManager(display, window, "_NET_WM_STATE",
                        {addState, long(wanted[0]), 0, normalSource});
    sendToWindowManager(display, window, "_NET_WM_STATE",
                        {addState, long(wanted[1]), long(wanted[2]), normalSource});
    XFlush(display);
}

void X11Platform::becomeAccessoryApplication() {
    // X11 apps have no Dock icon; a window stays out of task bars through its own state.
}

void X11Platform::secondsSinceLastInput(QObject* context, IdleReply reply) {
    // Under XWayland the X server only sees input meant for X windows; the compositor knows.
    const bool wayland = qEnvironmentVariable("XDG_SESSION_TYPE") == QLatin1String("wayland");
    if (!wayland) {
        if (const std::optional<double> idle = screenSaverIdleSeconds()) {
            reply(idle);
            return;
        }
    }
    Background::run(background_, context, &DBusIdleTime::secondsSinceLastInput,
                    [wayland, reply = std::move(reply)](std::optional<double> idle) {
                        reply(idle || !wayland ? idle : screenSaverIdleSeconds());
                    });
}

void X11Platform::activateTerminal(const TerminalOrigin& origin, QObject* context,
                                   std::function<void(bool)> done) {
    Display* display = x11Display();
    const std::optional<X11TerminalActivation::Windows> windows =
        X11TerminalActivation::canActivate(display, origin)
            ? X11TerminalActivation::readWindows(display, origin)
            : std::nullopt;
    if (!windows) {
        done(false);
        return;
    }
    Background::run(
        background_, context,
        [windows = *windows, origin] { return X11TerminalActivation::findWindow(windows, origin); },
        [display, done = std::move(done)](std::optional<X11TerminalActivation::Window> window) {
            if (window) {
                EwmhClients::activate(display, *window);
            }
            done(window.has_value());
        });
}

bool X11Platform::canActivateTerminal(const TerminalOrigin& origin) const {
    return X11TerminalActivation::canActivate(x11Display(), origin);
}

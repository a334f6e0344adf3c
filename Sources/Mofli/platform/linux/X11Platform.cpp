#include "X11Platform.h"

#include "DBusIdleTime.h"
#include "X11TerminalActivation.h"

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

// QWidget::winId() can still name the window that setWindowFlags() replaced; the widget's
// QWindow knows the current one.
WId nativeWindow(QWidget* widget) {
    const WId created = widget->winId();
    return widget->windowHandle() ? widget->windowHandle()->winId() : created;
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

} // namespace

bool X11Platform::compositesTranslucentWindows() const {
    Display* display = x11Display();
    if (!display) {
        return true;
    }
    const QByteArray selection = "_NET_WM_CM_S" + QByteArray::number(DefaultScreen(display));
    const Atom atom = XInternAtom(display, selection.constData(), False);
    return XGetSelectionOwner(display, atom) != None;
}

void X11Platform::showOnAllWorkspaces(QWidget* widget) {
    Display* display = x11Display();
    if (!display || !widget) {
        return;
    }
    const auto window = static_cast<Window>(nativeWindow(widget));
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

std::optional<double> X11Platform::secondsSinceLastInput() const {
    // Under XWayland the X server only sees input meant for X windows; the compositor knows.
    const bool wayland = qEnvironmentVariable("XDG_SESSION_TYPE") == QLatin1String("wayland");
    if (wayland) {
        if (const std::optional<double> idle = DBusIdleTime::secondsSinceLastInput()) {
            return idle;
        }
    }
    Display* display = x11Display();
    int eventBase = 0;
    int errorBase = 0;
    // The screen saver extension counts every kind of input, modifier keys included.
    if (display && XScreenSaverQueryExtension(display, &eventBase, &errorBase)) {
        XScreenSaverInfo info{};
        if (XScreenSaverQueryInfo(display, DefaultRootWindow(display), &info)) {
            return double(info.idle) / 1000.0;
        }
    }
    return wayland ? std::nullopt : DBusIdleTime::secondsSinceLastInput();
}

bool X11Platform::activateTerminal(const TerminalOrigin& origin) {
    return X11TerminalActivation::activate(x11Display(), origin);
}

bool X11Platform::canActivateTerminal(const TerminalOrigin& origin) const {
    return X11TerminalActivation::canActivate(x11Display(), origin);
}

#include "DesktopIntegration.h"

#include <QByteArray>
#include <QGuiApplication>
#include <QWidget>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <cstdint>

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

} // namespace

bool DesktopIntegration::compositesTranslucentWindows() {
    Display* display = x11Display();
    if (!display) {
        return true;
    }
    const QByteArray selection = "_NET_WM_CM_S" + QByteArray::number(DefaultScreen(display));
    const Atom atom = XInternAtom(display, selection.constData(), False);
    return XGetSelectionOwner(display, atom) != None;
}

void DesktopIntegration::showOnAllWorkspaces(QWidget* widget) {
    Display* display = x11Display();
    if (!display || !widget) {
        return;
    }
    const auto window = static_cast<Window>(widget->winId());
    constexpr long allDesktops = 0xFFFFFFFF;
    constexpr long addState = 1;
    constexpr long normalSource = 1;
    // The property covers window managers that read it at map time, the messages those that
    // only react to requests on an already mapped window.
    const Atom desktopAtom = XInternAtom(display, "_NET_WM_DESKTOP", False);
    const unsigned long desktop = 0xFFFFFFFFul;
    XChangeProperty(display, window, desktopAtom, XA_CARDINAL, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&desktop), 1);
    sendToWindowManager(display, window, "_NET_WM_DESKTOP", {allDesktops, normalSource});
    const auto atom = [display](const char* name) {
        return long(XInternAtom(display, name, False));
    };
    sendToWindowManager(display, window, "_NET_WM_STATE",
                        {addState, atom("_NET_WM_STATE_STICKY"), 0, normalSource});
    sendToWindowManager(display, window, "_NET_WM_STATE",
                        {addState, atom("_NET_WM_STATE_SKIP_TASKBAR"),
                         atom("_NET_WM_STATE_SKIP_PAGER"), normalSource});
    XFlush(display);
}

void DesktopIntegration::becomeAccessoryApplication() {
    // X11 apps have no Dock icon; a window stays out of task bars through its own state.
}

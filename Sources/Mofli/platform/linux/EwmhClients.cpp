#include "EwmhClients.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <algorithm>

namespace {

// A property of 32-bit items, which Xlib hands over in longs.
std::vector<unsigned long> longProperty(Display* display, Window window, const char* name,
                                        Atom type) {
    Atom actualType = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long remaining = 0;
    unsigned char* data = nullptr;
    std::vector<unsigned long> values;
    if (XGetWindowProperty(display, window, XInternAtom(display, name, False), 0, 65536, False,
                           type, &actualType, &format, &count, &remaining, &data) == Success &&
        data != nullptr && format == 32) {
        const auto* longs = reinterpret_cast<const unsigned long*>(data);
        values.assign(longs, longs + count);
    }
    if (data) {
        XFree(data);
    }
    return values;
}

} // namespace

EwmhClients::EwmhClients(Display* display) : display_(display) {
    const Window root = DefaultRootWindow(display);
    // The stacking order lets the top-most of several windows of one process win.
    std::vector<unsigned long> clients =
        longProperty(display, root, "_NET_CLIENT_LIST_STACKING", XA_WINDOW);
    if (clients.empty()) {
        clients = longProperty(display, root, "_NET_CLIENT_LIST", XA_WINDOW);
    }
    clients_.assign(clients.begin(), clients.end());
}

std::unordered_map<pid_t, EwmhClients::Window> EwmhClients::topmostByProcess() const {
    std::unordered_map<pid_t, Window> owners;
    for (Window client : clients_) {
        if (const std::optional<pid_t> pid = process(client)) {
            owners[*pid] = client;
        }
    }
    return owners;
}

std::optional<pid_t> EwmhClients::process(Window client) const {
    const std::vector<unsigned long> pid =
        longProperty(display_, client, "_NET_WM_PID", XA_CARDINAL);
    if (pid.size() != 1) {
        return std::nullopt;
    }
    return pid_t(pid[0]);
}

std::optional<EwmhClients::Window> EwmhClients::containing(Window window) const {
    const Window root = DefaultRootWindow(display_);
    // Window managers that reparent put a frame between a client and the root, so the walk ends
    // at the root rather than at its child.
    while (window != None && window != root) {
        if (std::find(clients_.begin(), clients_.end(), window) != clients_.end()) {
            return window;
        }
        Window rootReturn = None;
        Window parent = None;
        Window* children = nullptr;
        unsigned int count = 0;
        if (!XQueryTree(display_, window, &rootReturn, &parent, &children, &count)) {
            return std::nullopt;
        }
        if (children) {
            XFree(children);
        }
        window = parent;
    }
    return std::nullopt;
}

void EwmhClients::activate(Display* display, Window client) {
    // ICCCM: a minimised window leaves the iconic state when it is mapped again.
    const std::vector<unsigned long> state =
        longProperty(display, client, "WM_STATE", XInternAtom(display, "WM_STATE", False));
    if (!state.empty() && state[0] == IconicState) {
        XMapWindow(display, client);
    }
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = client;
    event.xclient.message_type = XInternAtom(display, "_NET_ACTIVE_WINDOW", False);
    event.xclient.format = 32;
    // Source 2 is a pager, which acts on a direct request of the user: focus-stealing prevention
    // lets it through where an application's own request would only ask for attention.
    event.xclient.data.l[0] = 2;
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display, DefaultRootWindow(display), False,
               SubstructureRedirectMask | SubstructureNotifyMask, &event);
    XFlush(display);
}

#pragma once

#include <optional>
#include <sys/types.h>
#include <unordered_map>
#include <vector>

// Xlib's display, without the macros of its header, which clash with Qt's names.
typedef struct _XDisplay Display;

// The top-level windows an EWMH window manager manages, and the request that brings one of them
// to the front.
class EwmhClients {
public:
    using Window = unsigned long; // Xlib's Window
    // Reads the window manager's client list; empty without an EWMH window manager.
    explicit EwmhClients(Display* display);

    bool isEmpty() const { return clients_.empty(); }
    // For each process that announced itself in _NET_WM_PID, its top-most client window.
    std::unordered_map<pid_t, Window> topmostByProcess() const;
    // The client window that is `window` or holds it, such as the terminal's own widget window.
    std::optional<Window> containing(Window window) const;
    // The process that announced itself in `client`'s _NET_WM_PID.
    std::optional<pid_t> process(Window client) const;
    // Un-minimises `client` and asks the window manager to activate it, as a pager would.
    static void activate(Display* display, Window client);

private:
    Display* display_;
    std::vector<Window> clients_; // bottom to top where the window manager says so
};

#pragma once

#include "EwmhClients.h"
#include "TerminalOrigin.h"

#include <optional>
#include <sys/types.h>
#include <unordered_map>

// Finds the terminal of a Claude Code session on an X11 desktop, through the window manager and,
// when the session runs in tmux, through tmux. The search asks other programs and reads /proc, so
// it runs apart from the display: what the window manager says is read first, on the GUI thread.
namespace X11TerminalActivation {

using Window = EwmhClients::Window;

// What the window manager says about the windows that could show the terminal.
struct Windows {
    // For each process that announced windows, its top-most one.
    std::unordered_map<pid_t, Window> topmostByProcess;
    // The client window holding the origin's window id, and the process that announced it.
    std::optional<Window> named;
    std::optional<pid_t> namedOwner;
};

// Whether there is anything to look for: a display and a tty or window id.
bool canActivate(Display* display, const TerminalOrigin& origin);

// Reads the window manager's windows for `origin`; nothing without an EWMH window manager.
std::optional<Windows> readWindows(Display* display, const TerminalOrigin& origin);

// The window to bring forward, in order: the terminal showing the tmux client of a pane with the
// origin's tty; else the window named by the origin's window id, if the terminal drawing it runs
// the tty, or without a tty, if it told a program it started that this is its window
// (WINDOWID); else the window of the program that runs the tty. The state file naming the tty
// and the window id is anyone's to write, so a window id alone never decides. Asks tmux, for a
// second at most: call it off the GUI thread.
std::optional<Window> findWindow(const Windows& windows, const TerminalOrigin& origin);

} // namespace X11TerminalActivation

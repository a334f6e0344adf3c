#pragma once

#include "TerminalOrigin.h"

typedef struct _XDisplay Display;

// Brings the terminal of a Claude Code session to the front on an X11 desktop, through the
// window manager and, when the session runs in tmux, through tmux.
namespace X11TerminalActivation {

// Whether there is anything to look for: a display and a tty or window id.
bool canActivate(Display* display, const TerminalOrigin& origin);

// In order: a tmux pane with the origin's tty is selected and the terminal showing its client is
// raised; else the window named by the origin's window id; else the window of the program that
// runs the tty. True when a window was asked to the front.
bool activate(Display* display, const TerminalOrigin& origin);

} // namespace X11TerminalActivation

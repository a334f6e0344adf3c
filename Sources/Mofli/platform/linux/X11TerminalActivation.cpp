#include "X11TerminalActivation.h"

#include "ProcessTable.h"
#include "TmuxPanes.h"

namespace X11TerminalActivation {
namespace {

// tmux names its server process so.
constexpr std::string_view tmuxServerName = "tmux: server";

bool hasText(const std::optional<QString>& value) {
    return value && !value->isEmpty();
}

// Whether the programs on `terminal` were started by a tmux server, which makes it a pane.
bool isTmuxPane(const ProcessTable& processes, dev_t terminal) {
    for (const ProcessTable::Process* process : processes.onTerminal(terminal)) {
        for (const ProcessTable::Process* ancestor : processes.lineage(process->parent)) {
            if (ancestor->name == tmuxServerName) {
                return true;
            }
        }
    }
    return false;
}

// Whether `owner` started, directly or not, a program on `terminal`: the terminal emulator that
// draws it.
bool runsTerminal(const ProcessTable& processes, pid_t owner, dev_t terminal) {
    for (const ProcessTable::Process* process : processes.onTerminal(terminal)) {
        for (const ProcessTable::Process* ancestor : processes.lineage(process->pid)) {
            if (ancestor->pid == owner) {
                return true;
            }
        }
    }
    return false;
}

// The window of the nearest ancestor of a program on `terminal` that has one: the terminal
// emulator that started the program. Terminals that draw every window from one process (GNOME
// Terminal) give their top-most window; which tab holds the terminal is not theirs to say.
std::optional<Window> terminalWindow(const Windows& windows, const ProcessTable& processes,
                                     dev_t terminal) {
    for (const ProcessTable::Process* process : processes.onTerminal(terminal)) {
        for (const ProcessTable::Process* ancestor : processes.lineage(process->pid)) {
            if (const auto owner = windows.topmostByProcess.find(ancestor->pid);
                owner != windows.topmostByProcess.end()) {
                return owner->second;
            }
        }
    }
    return std::nullopt;
}

} // namespace

bool canActivate(Display* display, const TerminalOrigin& origin) {
    return display != nullptr && (hasText(origin.tty) || hasText(origin.windowId));
}

std::optional<Windows> readWindows(Display* display, const TerminalOrigin& origin) {
    const EwmhClients clients(display);
    if (clients.isEmpty()) {
        return std::nullopt;
    }
    Windows windows{clients.topmostByProcess(), std::nullopt, std::nullopt};
    bool ok = false;
    const qulonglong id = hasText(origin.windowId) ? origin.windowId->toULongLong(&ok, 10) : 0;
    // X resource ids have 29 bits.
    if (ok && id != 0 && id <= 0x1FFFFFFF) {
        windows.named = clients.containing(Window(id));
        windows.namedOwner = windows.named ? clients.process(*windows.named) : std::nullopt;
    }
    return windows;
}

std::optional<Window> findWindow(const Windows& windows, const TerminalOrigin& origin) {
    const std::optional<dev_t> terminal =
        origin.tty ? ProcessTable::terminalDevice(*origin.tty) : std::nullopt;
    const ProcessTable processes = ProcessTable::read();
    // The process that drew the named window; 0 without one.
    const pid_t owner = windows.named ? windows.namedOwner.value_or(0) : 0;
    if (!terminal) {
        if (owner > 0 && processes.announcedWindow(owner, *windows.named)) {
            return windows.named;
        }
        return std::nullopt;
    }
    if (isTmuxPane(processes, *terminal)) {
        // The terminal that shows the pane runs its tmux client. WINDOWID inside tmux is that of
        // the terminal that started the server or last attached to it, which need not show the
        // pane.
        const std::optional<QString> clientTty = TmuxPanes::showPane(*origin.tty);
        if (const auto clientTerminal =
                clientTty ? ProcessTable::terminalDevice(*clientTty) : std::nullopt) {
            return terminalWindow(windows, processes, *clientTerminal);
        }
    }
    // The window id saves the walk, and picks the right window of a terminal that draws several
    // from one process.
    if (owner > 0 && runsTerminal(processes, owner, *terminal)) {
        return windows.named;
    }
    return terminalWindow(windows, processes, *terminal);
}

} // namespace X11TerminalActivation

#include "X11TerminalActivation.h"

#include "EwmhClients.h"
#include "ProcessTable.h"
#include "TmuxPanes.h"

#include <optional>

namespace X11TerminalActivation {
namespace {

// tmux names its server process so.
const QByteArray tmuxServerName = QByteArrayLiteral("tmux: server");

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

// The window of the nearest ancestor of a program on `terminal` that has one: the terminal
// emulator that started the program. Terminals that draw every window from one process (GNOME
// Terminal) give their top-most window; which tab holds the terminal is not theirs to say.
std::optional<EwmhClients::Window> terminalWindow(const EwmhClients& clients,
                                                  const ProcessTable& processes, dev_t terminal) {
    const std::vector<const ProcessTable::Process*> candidates = processes.onTerminal(terminal);
    if (candidates.empty()) {
        return std::nullopt;
    }
    const auto owners = clients.topmostByProcess();
    for (const ProcessTable::Process* process : candidates) {
        for (const ProcessTable::Process* ancestor : processes.lineage(process->pid)) {
            if (const auto owner = owners.find(ancestor->pid); owner != owners.end()) {
                return owner->second;
            }
        }
    }
    return std::nullopt;
}

std::optional<EwmhClients::Window> windowById(const EwmhClients& clients, const QString& id) {
    bool ok = false;
    const qulonglong window = id.toULongLong(&ok, 10);
    // X resource ids have 29 bits.
    if (!ok || window == 0 || window > 0x1FFFFFFF) {
        return std::nullopt;
    }
    return clients.containing(EwmhClients::Window(window));
}

std::optional<EwmhClients::Window> findWindow(const EwmhClients& clients,
                                              const TerminalOrigin& origin) {
    const std::optional<dev_t> terminal =
        origin.tty ? ProcessTable::terminalDevice(*origin.tty) : std::nullopt;
    if (!terminal) {
        return hasText(origin.windowId) ? windowById(clients, *origin.windowId) : std::nullopt;
    }
    const ProcessTable processes = ProcessTable::read();
    if (isTmuxPane(processes, *terminal)) {
        // The terminal that shows the pane runs its tmux client. WINDOWID inside tmux is that of
        // the terminal that started the server or last attached to it, so it is only the guess
        // left when no client is found (a server on a socket elsewhere, say).
        const std::optional<QString> clientTty = TmuxPanes::showPane(*origin.tty);
        if (const auto clientTerminal =
                clientTty ? ProcessTable::terminalDevice(*clientTty) : std::nullopt) {
            return terminalWindow(clients, processes, *clientTerminal);
        }
    }
    if (hasText(origin.windowId)) {
        if (const auto window = windowById(clients, *origin.windowId)) {
            return window;
        }
    }
    return terminalWindow(clients, processes, *terminal);
}

} // namespace

bool canActivate(Display* display, const TerminalOrigin& origin) {
    return display != nullptr && (hasText(origin.tty) || hasText(origin.windowId));
}

bool activate(Display* display, const TerminalOrigin& origin) {
    if (!canActivate(display, origin)) {
        return false;
    }
    const EwmhClients clients(display);
    if (clients.isEmpty()) {
        return false;
    }
    const std::optional<EwmhClients::Window> window = findWindow(clients, origin);
    if (window) {
        clients.activate(*window);
    }
    return window.has_value();
}

} // namespace X11TerminalActivation

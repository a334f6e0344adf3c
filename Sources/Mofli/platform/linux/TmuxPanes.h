#pragma once

#include <QString>
#include <optional>

// tmux servers of this user, asked through the tmux program: which pane has a terminal, and who
// shows it.
namespace TmuxPanes {

// How long the servers are asked, every server together: one that has not answered by then is
// passed over. The server that has the pane is then given at least half a second more to show it.
constexpr int timeoutMs = 1000;

// Makes the pane whose terminal is `paneTty` the one its window and session show, and switches
// the most recently active client attached to that session to it. Returns that client's terminal,
// in which the terminal emulator showing the pane runs; none when no server has the pane or no
// client shows its session. Only the sockets of this user in its own tmux folder are asked, all
// at once, through the tmux of the system (/usr/bin, /usr/local/bin, Homebrew's) before any other
// on PATH. Waits for the programs it runs: call it off the GUI thread.
std::optional<QString> showPane(const QString& paneTty);

} // namespace TmuxPanes

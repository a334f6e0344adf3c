#pragma once

#include <QString>
#include <optional>

// tmux servers of this user, asked through the tmux program: which pane has a terminal, and who
// shows it.
namespace TmuxPanes {

// Makes the pane whose terminal is `paneTty` the one its window and session show, and switches
// the most recently active client attached to that session to it. Returns that client's terminal,
// in which the terminal emulator showing the pane runs; none when no server has the pane or no
// client shows its session.
std::optional<QString> showPane(const QString& paneTty);

} // namespace TmuxPanes

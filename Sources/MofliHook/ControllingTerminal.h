#pragma once

#include <optional>
#include <string>

// Finds the terminal a Claude Code session runs in, so that the app can bring its tab forward.
// One implementation per platform, each reading its own process table.
namespace ControllingTerminal {

// "/dev/…" of the controlling terminal of this process or of its nearest ancestor that has one,
// looking at no more than 16 processes and stopping below process id 2.
std::optional<std::string> controllingTTYPath();

} // namespace ControllingTerminal

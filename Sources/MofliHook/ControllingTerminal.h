#pragma once

#include <optional>
#include <string>
#include <sys/types.h>

// Finds the terminal a Claude Code session runs in, so that the app can bring its tab forward.
// One implementation per platform, each reading its own process table.
namespace ControllingTerminal {

// "/dev/…" of the controlling terminal of this process or of its nearest ancestor that has one,
// looking at no more than 16 processes and stopping below process id 2.
std::optional<std::string> controllingTTYPath();

// "/dev/…" of a terminal device, or nothing when no such device is found; per platform.
std::optional<std::string> devicePath(dev_t device);

} // namespace ControllingTerminal

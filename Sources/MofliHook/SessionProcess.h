#pragma once

#include <optional>
#include <sys/types.h>

// The Claude Code process that ran the hook, so that the app can tell a live session from the
// record of one that ended without saying goodbye (a killed terminal, a crash).
namespace SessionProcess {

// The nearest ancestor of the hook that is not a shell: Claude Code starts a hook command
// through `sh -c`, and a user's wrapper script may add more shells in between. Looks at no more
// than 16 processes and stops below process id 2.
std::optional<pid_t> find();

} // namespace SessionProcess

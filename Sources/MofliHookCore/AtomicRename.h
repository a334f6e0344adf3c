#pragma once

#include <string>

// Moves a finished temporary file over its target in one atomic step, so that readers see the
// old or the new file, never a missing or partial one. One implementation per platform.
namespace AtomicRename {

// Returns whether `target` now holds the content of `temporary`, which then no longer exists.
bool replace(const std::string& temporary, const std::string& target);

} // namespace AtomicRename

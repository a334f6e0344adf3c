#pragma once

#include <optional>
#include <string>
#include <string_view>

// The few file operations of the hook, in plain POSIX calls: the hook starts on every tool call
// and must stay small.
namespace Files {

// Creates `path` and any missing parents, each readable by its owner only. Returns whether the
// folder exists afterwards; an existing one, or a link to one, is used as it is.
bool createDirectories(const std::string& path);

// Creates a fresh owner-only file next to `path` for writing and returns its descriptor (or -1),
// with its name in `temporary`. It is created exclusively, never through a link: whatever someone
// planted under a temporary name (a hard link to another file of the user, say) is left alone.
int createTemporary(const std::string& path, std::string& temporary);

// Replaces the file at `path` as a whole, so that readers see either the old or the new content,
// and leaves it readable by its owner only. The bytes go to a temporary file from
// createTemporary() (hook runs overlap), which is then renamed over the target. Missing parent
// folders are created. On any failure the target keeps its old content and no temporary file is
// left behind.
bool replaceAtomically(const std::string& path, std::string_view contents);

// The whole content of the regular file at `path`, or nothing when it cannot be read or is no
// regular file (a FIFO there is never waited on).
std::optional<std::string> readFile(const std::string& path);

} // namespace Files

#pragma once

#include <optional>
#include <string>
#include <string_view>

// The few file operations of the hook, in plain POSIX calls: the hook starts on every tool call
// and must stay small.
namespace Files {

// Creates `path` and any missing parents. Returns whether the folder exists afterwards.
bool createDirectories(const std::string& path);

// Replaces the file at `path` as a whole, so that readers see either the old or the new content.
// The bytes go to a temporary file next to the target whose name is unique to this process (hook
// runs overlap), which is then renamed over the target. Missing parent folders are created. On any
// failure the target keeps its old content and no temporary file is left behind.
bool replaceAtomically(const std::string& path, std::string_view contents);

// The whole content of the file at `path`, or nothing when it cannot be read.
std::optional<std::string> readFile(const std::string& path);

} // namespace Files

#pragma once

#include <boost/json/object.hpp>
#include <optional>
#include <string>
#include <string_view>
#include <sys/types.h>

// The hook's side of ~/.claude/mofli/state.json, the only channel to the app, and of the records
// of each session beside it.
namespace StateWriter {

// The file's bytes for `out`: compact JSON, always valid UTF-8 (bytes of the environment that are
// not become U+FFFD) and small, since a string value of more than 16 KiB is left out ("message"
// becomes null instead).
std::string serializeState(const boost::json::object& out);

// Replaces the state file with serializeState(`out`) as a whole; failures leave the previous file
// in place.
void writeState(const boost::json::object& out);

// Replaces the record of `sessionId` as a whole: what the state file gets, plus the time of the
// write and the session's Claude Code process when known.
void writeSessionRecord(std::string_view sessionId, boost::json::object out,
                        std::optional<pid_t> process);

// The session has ended: its record goes.
void removeSessionRecord(std::string_view sessionId);

} // namespace StateWriter

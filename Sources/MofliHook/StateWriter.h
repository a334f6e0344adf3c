#pragma once

#include <boost/json/object.hpp>
#include <string>

// The hook's side of ~/.claude/mofli/state.json, the only channel to the app.
namespace StateWriter {

// The file's bytes for `out`: compact JSON, always valid UTF-8 (bytes of the environment that are
// not become U+FFFD) and small, since a string value of more than 16 KiB is left out ("message"
// becomes null instead).
std::string serializeState(const boost::json::object& out);

// Replaces the state file with serializeState(`out`) as a whole; failures leave the previous file
// in place.
void writeState(const boost::json::object& out);

} // namespace StateWriter

#pragma once

#include <boost/json/object.hpp>

// The hook's side of ~/.claude/mofli/state.json, the only channel to the app.
namespace StateWriter {

// Replaces the state file with `out` as a whole; failures leave the previous file in place.
void writeState(const boost::json::object& out);

} // namespace StateWriter

#pragma once

#include <boost/json/object.hpp>

// Reads the hook payload from standard input.
namespace PayloadReader {

// The JSON object read from `fd` to its end (call it once per process), or an empty object when the input is empty,
// unreadable, malformed, nested more than Json::maxDepth levels or not an object. The input is
// always drained, so the sender never sees a broken pipe.
boost::json::object read(int fd);

} // namespace PayloadReader

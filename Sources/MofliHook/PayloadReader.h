#pragma once

#include <boost/json/object.hpp>

// Reads the hook payload from standard input. Claude Code sends whole tool outputs and file
// contents, several megabytes at times, so the JSON is parsed piece by piece as the pipe delivers
// it instead of after the last byte has arrived.
namespace PayloadReader {

// The JSON object read from `fd` to its end, or an empty object when the input is empty,
// unreadable, malformed, nested more than Json::maxDepth levels or not an object. The input is
// always drained, so the sender never sees a broken pipe.
boost::json::object read(int fd);

} // namespace PayloadReader

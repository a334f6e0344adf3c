#pragma once

#include <boost/json/storage_ptr.hpp>
#include <boost/json/value.hpp>
#include <cstddef>
#include <optional>
#include <string_view>

// A strict JSON parser (RFC 8259) that builds Boost.JSON values. Boost.JSON 1.81 falls back to a
// byte-at-a-time path for the rest of a string once it has met one escape, and the multi-megabyte
// tool outputs that Claude Code sends are full of "\n": this parser copies unescaped runs in bulk
// and is several times faster on such input, while keeping Boost's value model (integers that fit
// in int64 or uint64 stay integers, everything else is a double).
namespace JsonParser {

// The value that `text` holds, or nothing when it is not exactly one JSON value (surrounded by
// optional whitespace), holds invalid UTF-8, or nests arrays and objects deeper than `maxDepth`.
// Escaped lone surrogates become U+FFFD, as JavaScript's JSON.stringify may emit them; numbers
// beyond the range of a double saturate to the largest finite double or round to zero, so that
// every value serialises back to JSON. Of duplicate keys the last one wins. The values are
// allocated from `storage`.
std::optional<boost::json::value> parse(std::string_view text, std::size_t maxDepth,
                                        boost::json::storage_ptr storage = {});

} // namespace JsonParser

#pragma once

#include <boost/json/object.hpp>
#include <boost/json/value.hpp>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// Reading of Claude Code payloads and of the session record. Values keep their JSON kinds; a
// value of another kind than the one asked for counts as absent.
namespace Json {

// Arrays and objects may nest this deep; deeper input is rejected as a whole.
constexpr std::size_t maxDepth = 512;

// The object that `text` holds, or an empty object when `text` is empty, malformed, nested too
// deeply, not valid UTF-8 or not an object at its top level. The values are allocated from
// `storage`.
boost::json::object parseObject(std::string_view text, boost::json::storage_ptr storage = {});

// Compact JSON text.
std::string serialize(const boost::json::object& object);

// The value under `key`, or nullptr when the key is missing.
const boost::json::value* find(const boost::json::object& object, std::string_view key);

std::optional<std::string_view> findString(const boost::json::object& object, std::string_view key);
const boost::json::object* findObject(const boost::json::object& object, std::string_view key);
// The object under `key`, or an empty object when the key is missing or holds another kind.
const boost::json::object& findObjectOrEmpty(const boost::json::object& object,
                                             std::string_view key);
// JSON integers only: 3.0 is not an integer.
std::optional<std::int64_t> findInteger(const boost::json::object& object, std::string_view key);

} // namespace Json

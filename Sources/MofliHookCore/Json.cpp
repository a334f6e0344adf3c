// The one translation unit that compiles Boost.JSON, so the library needs no Boost binaries.
#include "Json.h"

#include "JsonParser.h"

#include <boost/json/src.hpp>

namespace Json {

boost::json::object parseObject(std::string_view text, boost::json::storage_ptr storage) {
    std::optional<boost::json::value> parsed =
        JsonParser::parse(text, maxDepth, std::move(storage));
    if (!parsed || !parsed->is_object()) {
        return {};
    }
    return std::move(parsed->as_object());
}

std::string serialize(const boost::json::object& object) {
    return boost::json::serialize(object);
}

const boost::json::value* find(const boost::json::object& object, std::string_view key) {
    return object.if_contains(key);
}

std::optional<std::string_view> findString(const boost::json::object& object,
                                           std::string_view key) {
    const boost::json::value* value = object.if_contains(key);
    if (value == nullptr || !value->is_string()) {
        return std::nullopt;
    }
    return std::string_view(value->get_string());
}

const boost::json::object* findObject(const boost::json::object& object, std::string_view key) {
    const boost::json::value* value = object.if_contains(key);
    return value == nullptr ? nullptr : value->if_object();
}

const boost::json::object& findObjectOrEmpty(const boost::json::object& object,
                                             std::string_view key) {
    static const boost::json::object empty;
    const boost::json::object* found = findObject(object, key);
    return found != nullptr ? *found : empty;
}

std::optional<std::int64_t> findInteger(const boost::json::object& object, std::string_view key) {
    const boost::json::value* value = object.if_contains(key);
    if (value == nullptr || !value->is_int64()) {
        return std::nullopt;
    }
    return value->get_int64();
}

} // namespace Json

#pragma once

#include <boost/json/object.hpp>
#include <boost/json/serialize.hpp>
#include <ostream>

// GoogleTest prints JSON objects that differ as their text rather than as bytes.
namespace boost::json {

inline void PrintTo(const object& value, std::ostream* os) {
    *os << serialize(value);
}

} // namespace boost::json

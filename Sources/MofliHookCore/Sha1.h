#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

// SHA-1 (FIPS 180-4). Written here because linking a crypto library would cost the hook more
// start-up time than hashing a file path ever does.
namespace Sha1 {

std::array<std::uint8_t, 20> digest(std::string_view bytes);

// The digest as 40 lowercase hexadecimal digits.
std::string hex(std::string_view bytes);

} // namespace Sha1

#include "Sha1.h"

#include <bit>

namespace Sha1 {
namespace {

std::uint32_t loadBigEndian(const std::uint8_t* bytes) {
    return (std::uint32_t{bytes[0]} << 24) | (std::uint32_t{bytes[1]} << 16) |
           (std::uint32_t{bytes[2]} << 8) | std::uint32_t{bytes[3]};
}

void compress(std::array<std::uint32_t, 5>& h, const std::uint8_t* block) {
    std::array<std::uint32_t, 80> w{};
    for (int t = 0; t < 16; ++t) {
        w[t] = loadBigEndian(block + 4 * t);
    }
    for (int t = 16; t < 80; ++t) {
        w[t] = std::rotl(w[t - 3] ^ w[t - 8] ^ w[t - 14] ^ w[t - 16], 1);
    }
    std::uint32_t a = h[0], b = h[1], c = h[2], d = h[3], e = h[4];
    for (int t = 0; t < 80; ++t) {
        std::uint32_t f = 0;
        std::uint32_t k = 0;
        if (t < 20) {
            f = (b & c) | (~b & d);
            k = 0x5A827999;
        } else if (t < 40) {
            f = b ^ c ^ d;
            k = 0x6ED9EBA1;
        } else if (t < 60) {
            f = (b & c) | (b & d) | (c & d);
            k = 0x8F1BBCDC;
        } else {
            f = b ^ c ^ d;
            k = 0xCA62C1D6;
        }
        const std::uint32_t temp = std::rotl(a, 5) + f + e + k + w[t];
        e = d;
        d = c;
        c = std::rotl(b, 30);
        b = a;
        a = temp;
    }
    h[0] += a;
    h[1] += b;
    h[2] += c;
    h[3] += d;
    h[4] += e;
}

} // namespace

std::array<std::uint8_t, 20> digest(std::string_view bytes) {
    std::array<std::uint32_t, 5> h = {0x67452301, 0xEFCDAB89, 0x98BADCFE, 0x10325476, 0xC3D2E1F0};
    const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.data());
    std::size_t offset = 0;
    for (; bytes.size() - offset >= 64; offset += 64) {
        compress(h, data + offset);
    }

    // The tail, the 0x80 marker and the 64-bit bit length fill one or two final blocks.
    std::array<std::uint8_t, 128> tail{};
    const std::size_t rest = bytes.size() - offset;
    for (std::size_t i = 0; i < rest; ++i) {
        tail[i] = data[offset + i];
    }
    tail[rest] = 0x80;
    const std::size_t tailLength = rest < 56 ? 64 : 128;
    const std::uint64_t bitLength = static_cast<std::uint64_t>(bytes.size()) * 8;
    for (int i = 0; i < 8; ++i) {
        tail[tailLength - 1 - i] = static_cast<std::uint8_t>(bitLength >> (8 * i));
    }
    for (std::size_t block = 0; block < tailLength; block += 64) {
        compress(h, tail.data() + block);
    }

    std::array<std::uint8_t, 20> result{};
    for (int i = 0; i < 20; ++i) {
        result[i] = static_cast<std::uint8_t>(h[i / 4] >> (24 - 8 * (i % 4)));
    }
    return result;
}

std::string hex(std::string_view bytes) {
    static constexpr char digits[] = "0123456789abcdef";
    std::string text;
    text.reserve(40);
    for (const std::uint8_t byte : digest(bytes)) {
        text += digits[byte >> 4];
        text += digits[byte & 0x0F];
    }
    return text;
}

} // namespace Sha1

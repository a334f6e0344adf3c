#include "JsonParser.h"

#include "DecimalNumber.h"

#include <array>
#include <boost/json/array.hpp>
#include <boost/json/object.hpp>
#include <boost/json/string.hpp>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <version>

namespace JsonParser {

namespace {

// Bytes that may stand in a string as they are: printable ASCII except the quote and backslash.
constexpr std::array<bool, 256> plainBytes = [] {
    std::array<bool, 256> table{};
    for (int c = 0x20; c < 0x80; ++c) {
        table[c] = c != '"' && c != '\\';
    }
    return table;
}();

bool isContinuation(unsigned char c, unsigned char low = 0x80, unsigned char high = 0xBF) {
    return c >= low && c <= high;
}

class Parser {
public:
    Parser(std::string_view text, std::size_t maxDepth, boost::json::storage_ptr storage)
        : p_(text.data()), end_(text.data() + text.size()), maxDepth_(maxDepth),
          storage_(std::move(storage)) {}

    std::optional<boost::json::value> parseDocument() {
        boost::json::value value(storage_);
        skipWhitespace();
        if (!parseValue(value, 0)) {
            return std::nullopt;
        }
        skipWhitespace();
        if (p_ != end_) {
            return std::nullopt;
        }
        return value;
    }

private:
    const char* p_;
    const char* end_;
    std::size_t maxDepth_;
    boost::json::storage_ptr storage_;

    unsigned char peek() const { return static_cast<unsigned char>(*p_); }

    void skipWhitespace() {
        while (p_ != end_ && (*p_ == ' ' || *p_ == '\n' || *p_ == '\r' || *p_ == '\t')) {
            ++p_;
        }
    }

    bool consume(char c) {
        if (p_ != end_ && *p_ == c) {
            ++p_;
            return true;
        }
        return false;
    }

    bool consumeWord(std::string_view word) {
        if (static_cast<std::size_t>(end_ - p_) < word.size() ||
            std::string_view(p_, word.size()) != word) {
            return false;
        }
        p_ += word.size();
        return true;
    }

    bool parseValue(boost::json::value& out, std::size_t depth) {
        if (p_ == end_) {
            return false;
        }
        switch (*p_) {
        case '{':
            return parseObject(out, depth + 1);
        case '[':
            return parseArray(out, depth + 1);
        case '"': {
            boost::json::string& text = out.emplace_string();
            return parseString(text);
        }
        case 't':
            out = true;
            return consumeWord("true");
        case 'f':
            out = false;
            return consumeWord("false");
        case 'n':
            out = nullptr;
            return consumeWord("null");
        default:
            return parseNumber(out);
        }
    }

    bool parseObject(boost::json::value& out, std::size_t depth) {
        if (depth > maxDepth_) {
            return false;
        }
        ++p_;
        boost::json::object& object = out.emplace_object();
        skipWhitespace();
        if (consume('}')) {
            return true;
        }
        boost::json::string key;
        for (;;) {
            key.clear();
            if (!consume('"') || !parseStringBody(key)) {
                return false;
            }
            skipWhitespace();
            if (!consume(':')) {
                return false;
            }
            skipWhitespace();
            boost::json::value member(storage_);
            if (!parseValue(member, depth)) {
                return false;
            }
            object.insert_or_assign(key, std::move(member));
            skipWhitespace();
            if (consume('}')) {
                return true;
            }
            if (!consume(',')) {
                return false;
            }
            skipWhitespace();
        }
    }

    bool parseArray(boost::json::value& out, std::size_t depth) {
        if (depth > maxDepth_) {
            return false;
        }
        ++p_;
        boost::json::array& array = out.emplace_array();
        skipWhitespace();
        if (consume(']')) {
            return true;
        }
        for (;;) {
            if (!parseValue(array.emplace_back(nullptr), depth)) {
                return false;
            }
            skipWhitespace();
            if (consume(']')) {
                return true;
            }
            if (!consume(',')) {
                return false;
            }
            skipWhitespace();
        }
    }

    bool parseString(boost::json::string& out) {
        ++p_;
        return parseStringBody(out);
    }

    // Length of the valid UTF-8 sequence of two to four bytes at p_, or 0.
    std::size_t multiByteLength() const {
        const auto* s = reinterpret_cast<const unsigned char*>(p_);
        const std::size_t left = static_cast<std::size_t>(end_ - p_);
        const unsigned char lead = s[0];
        if (lead >= 0xC2 && lead <= 0xDF) {
            return left >= 2 && isContinuation(s[1]) ? 2 : 0;
        }
        if (lead >= 0xE0 && lead <= 0xEF) {
            const unsigned char low = lead == 0xE0 ? 0xA0 : 0x80;
            const unsigned char high = lead == 0xED ? 0x9F : 0xBF;
            return left >= 3 && isContinuation(s[1], low, high) && isContinuation(s[2]) ? 3 : 0;
        }
        if (lead >= 0xF0 && lead <= 0xF4) {
            const unsigned char low = lead == 0xF0 ? 0x90 : 0x80;
            const unsigned char high = lead == 0xF4 ? 0x8F : 0xBF;
            return left >= 4 && isContinuation(s[1], low, high) && isContinuation(s[2]) &&
                           isContinuation(s[3])
                       ? 4
                       : 0;
        }
        return 0;
    }

    // The first quote after p_ that no backslash escapes, or nullptr. Backslash bytes never occur
    // inside multi-byte UTF-8 sequences, so counting them byte by byte is safe.
    const char* findClosingQuote() const {
        const char* from = p_;
        for (;;) {
            const auto* quote = static_cast<const char*>(
                std::memchr(from, '"', static_cast<std::size_t>(end_ - from)));
            if (quote == nullptr) {
                return nullptr;
            }
            const char* before = quote;
            while (before != p_ && before[-1] == '\\') {
                --before;
            }
            if ((quote - before) % 2 == 0) {
                return quote;
            }
            from = quote + 1;
        }
    }

    // Advances p_ over plain ASCII eight bytes at a time while no byte needs a closer look (a
    // control character, a quote, a backslash or a non-ASCII byte).
    void skipPlainAsciiWords(const char* limit) {
        constexpr std::uint64_t ones = 0x0101010101010101ULL;
        constexpr std::uint64_t highs = 0x8080808080808080ULL;
        while (limit - p_ >= 8) {
            std::uint64_t word;
            std::memcpy(&word, p_, sizeof word);
            const std::uint64_t control = word - ones * 0x20;
            const std::uint64_t quote = (word ^ ones * '"') - ones;
            const std::uint64_t backslash = (word ^ ones * '\\') - ones;
            if (((control | quote | backslash) & ~word & highs) != 0 || (word & highs) != 0) {
                return;
            }
            p_ += 8;
        }
    }

    // Decodes the string body up to its closing quote straight into `out`, copying plain runs in
    // one piece. The decoded text is never longer than the escaped one, so `out` grows once.
    bool parseStringBody(boost::json::string& out) {
        const char* close = findClosingQuote();
        if (close == nullptr) {
            return false;
        }
        out.clear();
        out.reserve(static_cast<std::size_t>(close - p_));
        char* const begin = out.data();
        char* dst = begin;
        while (p_ != close) {
            const char* run = p_;
            while (p_ != close) {
                skipPlainAsciiWords(close);
                if (p_ == close) {
                    break;
                }
                const unsigned char c = peek();
                if (plainBytes[c]) {
                    ++p_;
                } else if (c >= 0x80) {
                    const std::size_t length = multiByteLength();
                    if (length == 0) {
                        return false;
                    }
                    p_ += length;
                } else {
                    break;
                }
            }
            std::memcpy(dst, run, static_cast<std::size_t>(p_ - run));
            dst += p_ - run;
            if (p_ == close) {
                break;
            }
            if (*p_++ != '\\' || !parseEscape(dst)) {
                return false;
            }
        }
        ++p_;
        out.grow(static_cast<std::size_t>(dst - begin));
        return true;
    }

    bool parseHex4(std::uint32_t& out) {
        if (end_ - p_ < 4) {
            return false;
        }
        out = 0;
        for (int i = 0; i < 4; ++i) {
            const char c = *p_++;
            std::uint32_t digit;
            if (c >= '0' && c <= '9') {
                digit = static_cast<std::uint32_t>(c - '0');
            } else if (c >= 'a' && c <= 'f') {
                digit = static_cast<std::uint32_t>(c - 'a' + 10);
            } else if (c >= 'A' && c <= 'F') {
                digit = static_cast<std::uint32_t>(c - 'A' + 10);
            } else {
                return false;
            }
            out = out << 4 | digit;
        }
        return true;
    }

    static void putUtf8(char*& dst, std::uint32_t code) {
        if (code < 0x80) {
            *dst++ = static_cast<char>(code);
        } else if (code < 0x800) {
            *dst++ = static_cast<char>(0xC0 | code >> 6);
            *dst++ = static_cast<char>(0x80 | (code & 0x3F));
        } else if (code < 0x10000) {
            *dst++ = static_cast<char>(0xE0 | code >> 12);
            *dst++ = static_cast<char>(0x80 | (code >> 6 & 0x3F));
            *dst++ = static_cast<char>(0x80 | (code & 0x3F));
        } else {
            *dst++ = static_cast<char>(0xF0 | code >> 18);
            *dst++ = static_cast<char>(0x80 | (code >> 12 & 0x3F));
            *dst++ = static_cast<char>(0x80 | (code >> 6 & 0x3F));
            *dst++ = static_cast<char>(0x80 | (code & 0x3F));
        }
    }

    bool parseEscape(char*& dst) {
        if (p_ == end_) {
            return false;
        }
        char decoded;
        switch (*p_++) {
        case '"':
            decoded = '"';
            break;
        case '\\':
            decoded = '\\';
            break;
        case '/':
            decoded = '/';
            break;
        case 'b':
            decoded = '\b';
            break;
        case 'f':
            decoded = '\f';
            break;
        case 'n':
            decoded = '\n';
            break;
        case 'r':
            decoded = '\r';
            break;
        case 't':
            decoded = '\t';
            break;
        case 'u':
            return parseUnicodeEscape(dst);
        default:
            return false;
        }
        *dst++ = decoded;
        return true;
    }

    // Six escaped bytes decode to at most three, twelve to four: the output never overtakes.
    bool parseUnicodeEscape(char*& dst) {
        constexpr std::uint32_t replacement = 0xFFFD;
        std::uint32_t code;
        if (!parseHex4(code)) {
            return false;
        }
        if (code >= 0xDC00 && code <= 0xDFFF) {
            code = replacement;
        } else if (code >= 0xD800 && code <= 0xDBFF) {
            const char* afterHigh = p_;
            std::uint32_t low;
            if (end_ - p_ >= 2 && p_[0] == '\\' && p_[1] == 'u' && (p_ += 2, parseHex4(low)) &&
                low >= 0xDC00 && low <= 0xDFFF) {
                code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
            } else {
                // A high surrogate without its pair: whatever follows is parsed on its own.
                p_ = afterHigh;
                code = replacement;
            }
        }
        putUtf8(dst, code);
        return true;
    }

    bool consumeDigits() {
        const char* start = p_;
        while (p_ != end_ && *p_ >= '0' && *p_ <= '9') {
            ++p_;
        }
        return p_ != start;
    }

    bool parseNumber(boost::json::value& out) {
        const char* start = p_;
        consume('-');
        if (consume('0')) {
            if (p_ != end_ && *p_ >= '0' && *p_ <= '9') {
                return false;
            }
        } else if (!consumeDigits()) {
            return false;
        }
        bool integral = true;
        if (consume('.')) {
            integral = false;
            if (!consumeDigits()) {
                return false;
            }
        }
        if (p_ != end_ && (*p_ == 'e' || *p_ == 'E')) {
            ++p_;
            integral = false;
            if (!consume('+')) {
                consume('-');
            }
            if (!consumeDigits()) {
                return false;
            }
        }
        if (integral) {
            std::int64_t signedValue;
            if (std::from_chars(start, p_, signedValue).ec == std::errc()) {
                out = signedValue;
                return true;
            }
            std::uint64_t unsignedValue;
            if (*start != '-' && std::from_chars(start, p_, unsignedValue).ec == std::errc()) {
                out = unsignedValue;
                return true;
            }
        }
        double number;
#ifdef __cpp_lib_to_chars
        const bool converted = std::from_chars(start, p_, number).ec == std::errc();
#else
        const bool converted = false;
#endif
        if (!converted) {
            // Out of range: round to zero as strtod does, but saturate to the largest finite
            // double rather than to infinity, which JSON cannot hold: a record read and written
            // back must stay JSON.
            number = DecimalNumber::parse(start, p_);
            if (std::isinf(number)) {
                number = std::copysign(std::numeric_limits<double>::max(), number);
            }
        }
        out = number;
        return true;
    }
};

} // namespace

std::optional<boost::json::value> parse(std::string_view text, std::size_t maxDepth,
                                        boost::json::storage_ptr storage) {
    return Parser(text, maxDepth, std::move(storage)).parseDocument();
}

} // namespace JsonParser

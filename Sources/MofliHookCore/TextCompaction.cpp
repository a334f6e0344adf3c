#include "TextCompaction.h"

#include "StateFileContract.h"

#include <algorithm>
#include <utf8proc.h>

namespace TextCompaction {
namespace {

constexpr char32_t replacementCharacter = 0xFFFD;
constexpr std::string_view ellipsis = "\u2026";
constexpr std::size_t codePointsPerCharacter = StateFileContract::characterCodePointLimit;
constexpr std::size_t byteLimit = StateFileContract::textByteLimit;

struct Decoded {
    char32_t codepoint;
    std::size_t length;
};

// Invalid UTF-8 must never stop or derail the scan, so each byte that does not start a valid
// sequence is read as one U+FFFD and the scan moves on by exactly that byte.
Decoded decodeAt(std::string_view text, std::size_t offset) {
    const auto* bytes = reinterpret_cast<const utf8proc_uint8_t*>(text.data() + offset);
    utf8proc_int32_t codepoint = 0;
    const utf8proc_ssize_t length =
        utf8proc_iterate(bytes, static_cast<utf8proc_ssize_t>(text.size() - offset), &codepoint);
    if (length <= 0) {
        return {replacementCharacter, 1};
    }
    return {static_cast<char32_t>(codepoint), static_cast<std::size_t>(length)};
}

void appendUtf8(std::string& out, char32_t codepoint) {
    utf8proc_uint8_t buffer[4];
    const auto length = utf8proc_encode_char(static_cast<utf8proc_int32_t>(codepoint), buffer);
    out.append(reinterpret_cast<const char*>(buffer), static_cast<std::size_t>(length));
}

// Feeds codepoints in order and reports where extended grapheme clusters begin.
class ClusterCounter {
public:
    // Returns whether `codepoint` starts a new cluster.
    bool add(char32_t codepoint) {
        const bool starts = !previous_ || utf8proc_grapheme_break_stateful(
                                              static_cast<utf8proc_int32_t>(*previous_),
                                              static_cast<utf8proc_int32_t>(codepoint), &state_);
        previous_ = codepoint;
        if (starts) {
            ++count_;
        }
        return starts;
    }

    std::size_t count() const { return count_; }

private:
    std::optional<char32_t> previous_;
    utf8proc_int32_t state_ = 0;
    std::size_t count_ = 0;
};

} // namespace

bool isWhitespace(char32_t c) {
    return (c >= 0x09 && c <= 0x0D) || c == 0x20 || c == 0x85 || c == 0xA0 || c == 0x1680 ||
           (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F ||
           c == 0x205F || c == 0x3000;
}

std::string trimWhitespace(std::string_view text) {
    std::size_t begin = text.size();
    std::size_t end = 0;
    for (std::size_t offset = 0; offset < text.size();) {
        const Decoded decoded = decodeAt(text, offset);
        if (!isWhitespace(decoded.codepoint)) {
            begin = std::min(begin, offset);
            end = offset + decoded.length;
        }
        offset += decoded.length;
    }
    return begin < end ? std::string(text.substr(begin, end - begin)) : std::string();
}

std::vector<std::string> splitOnWhitespace(std::string_view text) {
    std::vector<std::string> pieces;
    std::optional<std::size_t> pieceStart;
    for (std::size_t offset = 0; offset < text.size();) {
        const Decoded decoded = decodeAt(text, offset);
        if (isWhitespace(decoded.codepoint)) {
            if (pieceStart) {
                pieces.emplace_back(text.substr(*pieceStart, offset - *pieceStart));
                pieceStart.reset();
            }
        } else if (!pieceStart) {
            pieceStart = offset;
        }
        offset += decoded.length;
    }
    if (pieceStart) {
        pieces.emplace_back(text.substr(*pieceStart));
    }
    return pieces;
}

std::size_t characterCount(std::string_view text) {
    ClusterCounter clusters;
    for (std::size_t offset = 0; offset < text.size();) {
        const Decoded decoded = decodeAt(text, offset);
        clusters.add(decoded.codepoint);
        offset += decoded.length;
    }
    return clusters.count();
}

std::string repairUtf8(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t offset = 0; offset < text.size();) {
        const Decoded decoded = decodeAt(text, offset);
        if (decoded.codepoint == replacementCharacter) {
            appendUtf8(out, replacementCharacter);
        } else {
            out.append(text.substr(offset, decoded.length));
        }
        offset += decoded.length;
    }
    return out;
}

// One pass that collapses, trims and cuts together. It stops as soon as the text is known to be
// too long, so a multi-megabyte tool output costs no more than a short one.
std::optional<std::string> compact(std::optional<std::string_view> text, int limit) {
    if (!text) {
        return std::nullopt;
    }
    const std::size_t maxClusters = limit < 1 ? 1 : static_cast<std::size_t>(limit);
    std::string out;
    ClusterCounter clusters;
    std::size_t clusterLength = 0;
    // Where the text is cut if it turns out too long: the start of the last cluster that still
    // leaves room for the ellipsis, by count and by bytes.
    std::size_t cutOffset = 0;
    bool pendingSpace = false;

    // False when the text must be cut before `codepoint`.
    const auto emit = [&](char32_t codepoint) {
        const std::size_t before = out.size();
        if (clusters.add(codepoint)) {
            clusterLength = 0;
            if (clusters.count() > maxClusters) {
                return false;
            }
            if (before + ellipsis.size() <= byteLimit) {
                cutOffset = before;
            }
        }
        if (++clusterLength > codePointsPerCharacter) {
            return true;
        }
        appendUtf8(out, codepoint);
        return out.size() <= byteLimit;
    };

    for (std::size_t offset = 0; offset < text->size();) {
        const Decoded decoded = decodeAt(*text, offset);
        offset += decoded.length;
        if (isWhitespace(decoded.codepoint)) {
            pendingSpace = !out.empty();
            continue;
        }
        if ((pendingSpace && !emit(U' ')) || !emit(decoded.codepoint)) {
            out.resize(cutOffset);
            out.append(ellipsis);
            return out;
        }
        pendingSpace = false;
    }
    if (out.empty()) {
        return std::nullopt;
    }
    return out;
}

} // namespace TextCompaction

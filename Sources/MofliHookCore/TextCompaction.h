#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Unicode-aware text helpers shared by the hook and the app, so that both shorten bubble texts
// identically. All strings are UTF-8. "Whitespace" is the Unicode White_Space property (which
// includes U+0085, U+2028 and U+2029); "characters" are extended grapheme clusters, so an emoji
// ZWJ sequence, a flag or a letter with combining marks each count as one.
namespace TextCompaction {

bool isWhitespace(char32_t c);

// Removes whitespace from both ends.
std::string trimWhitespace(std::string_view text);

// Splits at every run of whitespace, dropping empty pieces.
std::vector<std::string> splitOnWhitespace(std::string_view text);

std::size_t characterCount(std::string_view text);

// `text` with every byte that does not start a valid sequence replaced by U+FFFD, read the way
// compact() reads it: the result is always valid UTF-8.
std::string repairUtf8(std::string_view text);

// Collapses whitespace runs to single spaces and trims. Returns nothing for an absent or blank
// text. A result longer than `limit` characters keeps its first `limit` - 1 characters and gets
// "…" appended. `limit` must be at least 1. A character keeps at most
// StateFileContract::characterCodePointLimit code points and drops the rest of its marks, and a
// result that would exceed StateFileContract::textByteLimit bytes is cut to fit with its "…",
// so that no text can hold more than a bubble could ever show.
std::optional<std::string> compact(std::optional<std::string_view> text, int limit);

} // namespace TextCompaction

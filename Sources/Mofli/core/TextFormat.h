#pragma once

#include <QString>
#include <optional>

namespace TextFormat {

// Collapses whitespace into single spaces and shortens to at most `limit` user-perceived
// characters, ending a shortened text with "…". Nothing for an absent or blank text.
std::optional<QString> compact(const std::optional<QString>& text, int limit = 48);

} // namespace TextFormat

#include "TextFormat.h"

#include "TextCompaction.h"

#include <string>

namespace TextFormat {

// The hook shortens its messages with the same code, so the app and the hook never disagree on
// what counts as a character or as whitespace.
std::optional<QString> compact(const std::optional<QString>& text, int limit) {
    if (!text) {
        return std::nullopt;
    }
    const QByteArray utf8 = text->toUtf8();
    const auto result = TextCompaction::compact(
        std::string_view(utf8.constData(), static_cast<size_t>(utf8.size())), limit);
    if (!result) {
        return std::nullopt;
    }
    return QString::fromUtf8(result->data(), static_cast<qsizetype>(result->size()));
}

} // namespace TextFormat

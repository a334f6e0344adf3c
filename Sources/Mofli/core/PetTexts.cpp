#include "PetTexts.h"

#include "SessionRecord.h"
#include "TextFormat.h"

namespace {

// A folder name shares the small label line with the state's label.
constexpr int projectLimit = 24;
const QString dash = QStringLiteral(" — ");

bool hasText(const std::optional<QString>& text) {
    return text && !text->isEmpty();
}

} // namespace

namespace PetTexts {

std::optional<QString> bubbleLabel(const std::optional<QString>& label, const QString& project) {
    const std::optional<QString> name = TextFormat::compact(project, projectLimit);
    if (!name) {
        return label;
    }
    return hasText(label) ? *name + QStringLiteral(" · ") + *label : *name;
}

QString windowTitle(bool bubbleVisible, const QString& text, const std::optional<QString>& label) {
    QString title = QStringLiteral("Mofli");
    if (!bubbleVisible || text.isEmpty()) {
        return title;
    }
    title += dash;
    if (hasText(label)) {
        title += *label + QStringLiteral(": ");
    }
    return title + text;
}

QString sessionRow(const SessionRecord& session) {
    const AvatarState& state = session.state;
    const QString folder =
        TextFormat::compact(session.project(), projectLimit).value_or(QStringLiteral("?"));
    QString what = state.state;
    if (hasText(state.label)) {
        what = *state.label;
    } else if (const auto message = TextFormat::compact(state.message)) {
        what = *message;
    }
    return folder + dash + what;
}

} // namespace PetTexts

#pragma once

#include <QString>
#include <optional>

struct SessionRecord;

// The texts that name what the pet shows beyond its bubble: the bubble's label when several
// Claude Code sessions run, the window's title, and the rows of the sessions menu.
namespace PetTexts {

// The bubble's label for a state of the session of `project`: with an empty project (one session
// or none) the label as it is; otherwise the project, compacted, ahead of the label, if any.
std::optional<QString> bubbleLabel(const std::optional<QString>& label, const QString& project);

// The pet window's title and accessible name for a bubble showing `text` under `label`: "Mofli —
// <label>: <text>", "Mofli — <text>" without a label, "Mofli" while the bubble is hidden.
QString windowTitle(bool bubbleVisible, const QString& text, const std::optional<QString>& label);

// A row of the sessions menu: "<folder> — <label>", the bubble's text for a state without a
// label, the state's name for one without either.
QString sessionRow(const SessionRecord& session);

} // namespace PetTexts

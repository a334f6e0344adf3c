#pragma once

#include <QString>
#include <memory>
#include <optional>

class QAbstractButton;
class QMessageBox;

// The alerts that report linking Mofli into Claude Code.
namespace LinkAlerts {

// "Mofli × Claude Code" with `text` and one "OK" button.
std::unique_ptr<QMessageBox> info(const QString& text);
// Asks before unlinking; `confirm` receives the button that means yes.
std::unique_ptr<QMessageBox> unlinkConfirmation(QAbstractButton*& confirm);

// What the automatic link at first launch says when it worked.
QString firstLinkText();
QString linkResultText(const std::optional<QString>& errorDescription);
QString unlinkResultText(const std::optional<QString>& errorDescription);

} // namespace LinkAlerts

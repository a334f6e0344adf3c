#pragma once

#include "LinkError.h"

#include <QString>
#include <memory>
#include <optional>

class QAbstractButton;
class QMessageBox;

// The alerts that report linking Mofli into Claude Code.
namespace LinkAlerts {

// What an alert says: a text of a few lines, and the whole story when the text had to cut it
// short (a tool's answer may run to thousands of lines), else nothing.
struct Message {
    QString text;
    QString detail;
};

// "Mofli × Claude Code" with `text`, `detail` behind the message box's details button, and one
// "OK" button. Both are shown as plain text, whatever the tool printed.
std::unique_ptr<QMessageBox> info(const QString& text, const QString& detail = {});
// Asks before unlinking; `confirm` receives the button that means yes.
std::unique_ptr<QMessageBox> unlinkConfirmation(QAbstractButton*& confirm);

// What the automatic link at first launch says when it worked, and when it did not.
QString firstLinkText();
Message firstLinkFailure(const LinkError& error);
// The menu commands' outcomes.
Message linkResult(const std::optional<LinkError>& error);
Message unlinkResult(const std::optional<LinkError>& error);
// When bringing the linked plugin up to date at launch failed.
Message refreshFailure(const LinkError& error);

} // namespace LinkAlerts

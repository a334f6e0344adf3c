#include "LinkAlerts.h"

#include <QMessageBox>
#include <QPushButton>

namespace LinkAlerts {

namespace {

std::unique_ptr<QMessageBox> alert(const QString& message, const QString& informative) {
    auto box = std::make_unique<QMessageBox>();
    box->setIcon(QMessageBox::Information);
    box->setWindowTitle(QStringLiteral("Mofli"));
    box->setText(message);
    box->setInformativeText(informative);
    // The pet floats above other windows; its alerts must not open behind it.
    box->setWindowFlag(Qt::WindowStaysOnTopHint);
    return box;
}

} // namespace

std::unique_ptr<QMessageBox> info(const QString& text) {
    auto box = alert(QStringLiteral("Mofli × Claude Code"), text);
    box->addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
    return box;
}

std::unique_ptr<QMessageBox> unlinkConfirmation(QAbstractButton*& confirm) {
    auto box =
        alert(QStringLiteral("Claude Code 連携を解除しますか？"),
              QStringLiteral("plugin（mofli@mofli）をアンインストールし、展開した連携ファイル"
                             "を削除します。"));
    confirm = box->addButton(QStringLiteral("解除する"), QMessageBox::AcceptRole);
    QPushButton* cancel = box->addButton(QStringLiteral("キャンセル"), QMessageBox::RejectRole);
    box->setEscapeButton(cancel);
    return box;
}

QString firstLinkText() {
    return QStringLiteral("Mofli を Claude Code に連携しました。\nClaude Code で /reload-plugins "
                          "を実行（または再起動）すると、デスクトップのキャラクターが状態に反応"
                          "するようになります✨");
}

QString linkResultText(const std::optional<QString>& errorDescription) {
    if (errorDescription) {
        return QStringLiteral("連携に失敗しました。\n") + *errorDescription;
    }
    return QStringLiteral(
        "連携しました。Claude Code で /reload-plugins を実行（または再起動）してください。");
}

QString unlinkResultText(const std::optional<QString>& errorDescription) {
    if (errorDescription) {
        return QStringLiteral("解除に失敗しました。\n") + *errorDescription;
    }
    return QStringLiteral("連携を解除しました。Claude Code で /reload-plugins "
                          "を実行（または再起動）してください。");
}

} // namespace LinkAlerts

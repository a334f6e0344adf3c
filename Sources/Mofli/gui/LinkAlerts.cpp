#include "LinkAlerts.h"

#include <QCoreApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTranslator>

namespace LinkAlerts {

namespace {

// How much of an error the alert itself shows; the details hold the rest.
constexpr int excerptLines = 3;
constexpr int excerptLineLength = 120;

const QString retryHint =
    QStringLiteral("右クリックメニューの「Claude Code 連携」→「連携する（インストー"
                   "ル）」から、もう一度試せます。");

// The message box's details button speaks English unless Qt's own translations are installed,
// which a bare desktop lacks; its two labels are all the alerts need of them.
class DetailsButtonTexts : public QTranslator {
public:
    QString translate(const char* context, const char* source, const char* disambiguation,
                      int n) const override {
        if (qstrcmp(context, "QMessageBox") == 0) {
            if (qstrcmp(source, "Show Details...") == 0) {
                return QStringLiteral("詳細を表示…");
            }
            if (qstrcmp(source, "Hide Details...") == 0) {
                return QStringLiteral("詳細を隠す");
            }
        }
        return QTranslator::translate(context, source, disambiguation, n);
    }
    bool isEmpty() const override { return false; }
};

void installDetailsButtonTexts() {
    static DetailsButtonTexts texts;
    static const bool installed = QCoreApplication::installTranslator(&texts);
    Q_UNUSED(installed);
}

std::unique_ptr<QMessageBox> alert(const QString& message, const QString& informative) {
    auto box = std::make_unique<QMessageBox>();
    box->setIcon(QMessageBox::Information);
    box->setWindowTitle(QStringLiteral("Mofli"));
    box->setText(message);
    box->setInformativeText(informative);
    // The informative text would be taken as rich text when it looks like markup, and a tool's
    // output is no markup of ours.
    if (auto* label = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_informativelabel"))) {
        label->setTextFormat(Qt::PlainText);
    }
    // The pet floats above other windows; its alerts must not open behind it.
    box->setWindowFlag(Qt::WindowStaysOnTopHint);
    return box;
}

// The first lines of `description`, each cut to a readable length.
QString excerpt(const QString& description, bool& cut) {
    const QStringList lines = description.split(QLatin1Char('\n'));
    QStringList kept;
    cut = lines.size() > excerptLines;
    for (const QString& line : lines.first(std::min<qsizetype>(lines.size(), excerptLines))) {
        if (line.size() > excerptLineLength) {
            kept.append(line.left(excerptLineLength) + QStringLiteral("…"));
            cut = true;
        } else {
            kept.append(line);
        }
    }
    QString text = kept.join(QLatin1Char('\n'));
    if (cut) {
        text += QStringLiteral("\n（続きは「詳細を表示…」から）");
    }
    return text;
}

Message failure(const QString& lead, const LinkError& error, const QString& hint = {}) {
    const QString description = error.localizedDescription();
    bool cut = false;
    QString text = lead + QLatin1Char('\n') + excerpt(description, cut);
    if (!hint.isEmpty()) {
        text += QLatin1Char('\n') + hint;
    }
    return {text, cut ? description : QString()};
}

} // namespace

std::unique_ptr<QMessageBox> info(const QString& text, const QString& detail) {
    auto box = alert(QStringLiteral("Mofli × Claude Code"), text);
    installDetailsButtonTexts();
    box->setDetailedText(detail);
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

Message firstLinkFailure(const LinkError& error) {
    return failure(QStringLiteral("Mofli を Claude Code に連携できませんでした。"), error,
                   retryHint);
}

Message linkResult(const std::optional<LinkError>& error) {
    if (error) {
        return failure(QStringLiteral("連携に失敗しました。"), *error);
    }
    return {
        QStringLiteral(
            "連携しました。Claude Code で /reload-plugins を実行（または再起動）してください。"),
        {}};
}

Message unlinkResult(const std::optional<LinkError>& error) {
    if (error) {
        return failure(QStringLiteral("解除に失敗しました。"), *error);
    }
    return {QStringLiteral("連携を解除しました。Claude Code で /reload-plugins "
                           "を実行（または再起動）してください。"),
            {}};
}

Message refreshFailure(const LinkError& error) {
    return failure(QStringLiteral("Claude Code 連携を更新できませんでした。"), error, retryHint);
}

} // namespace LinkAlerts

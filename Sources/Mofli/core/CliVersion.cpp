#include "CliVersion.h"

#include <QRegularExpression>

std::optional<CliVersion> CliVersion::parse(const QString& text) {
    // The CLI's own line wins over other numbers a wrapper or a runtime warning may print first.
    static const QRegularExpression own(
        QStringLiteral("(\\d+)\\.(\\d+)\\.(\\d+) \\(Claude Code\\)"));
    static const QRegularExpression any(QStringLiteral("(\\d+)\\.(\\d+)\\.(\\d+)"));
    QRegularExpressionMatch match = own.match(text);
    if (!match.hasMatch()) {
        match = any.match(text);
    }
    if (!match.hasMatch()) {
        return std::nullopt;
    }
    bool ok[3] = {};
    const CliVersion version{match.captured(1).toInt(&ok[0]), match.captured(2).toInt(&ok[1]),
                             match.captured(3).toInt(&ok[2])};
    if (!ok[0] || !ok[1] || !ok[2]) {
        return std::nullopt;
    }
    return version;
}

QString CliVersion::toString() const {
    return QStringLiteral("%1.%2.%3").arg(major).arg(minor).arg(patch);
}

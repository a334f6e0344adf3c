#include "TerminalActivator.h"

#include <QStringList>

namespace TerminalActivator {
namespace {

bool hasText(const std::optional<QString>& value) {
    return value && !value->isEmpty();
}

} // namespace

std::optional<QString> scriptFor(const TerminalOrigin& origin) {
    const QString program = origin.program.value_or(QString()).toLower();
    if (program.contains(QLatin1String("iterm"))) {
        return itermScript(origin);
    }
    if (program.contains(QLatin1String("apple_terminal"))) {
        return terminalAppScript(origin);
    }
    return genericActivateScript(origin);
}

std::optional<QString> itermScript(const TerminalOrigin& origin) {
    QString condition;
    if (origin.session) {
        const QStringList pieces = origin.session->split(QLatin1Char(':'), Qt::SkipEmptyParts);
        const QString sid = pieces.isEmpty() ? *origin.session : pieces.last();
        if (!sid.isEmpty()) {
            condition = QStringLiteral("(id of s) is ") + quoted(sid);
        }
    }
    if (condition.isEmpty()) {
        if (!hasText(origin.tty)) {
            return std::nullopt;
        }
        condition = QStringLiteral("(tty of s) is ") + quoted(*origin.tty);
    }
    return QStringLiteral("tell application \"iTerm2\"\n"
                          "  repeat with w in windows\n"
                          "    repeat with t in tabs of w\n"
                          "      repeat with s in sessions of t\n"
                          "        if ") +
           condition +
           QStringLiteral(" then\n"
                          "          set miniaturized of w to false\n"
                          "          tell s to select\n"
                          "          set index of w to 1\n"
                          "          activate\n"
                          "          return \"ok\"\n"
                          "        end if\n"
                          "      end repeat\n"
                          "    end repeat\n"
                          "  end repeat\n"
                          "end tell");
}

std::optional<QString> terminalAppScript(const TerminalOrigin& origin) {
    if (!hasText(origin.tty)) {
        return std::nullopt;
    }
    return QStringLiteral("tell application \"Terminal\"\n"
                          "  repeat with w in windows\n"
                          "    repeat with t in tabs of w\n"
                          "      if (tty of t) is ") +
           quoted(*origin.tty) +
           QStringLiteral(" then\n"
                          "        set miniaturized of w to false\n"
                          "        set selected of t to true\n"
                          "        set frontmost of w to true\n"
                          "        activate\n"
                          "        return \"ok\"\n"
                          "      end if\n"
                          "    end repeat\n"
                          "  end repeat\n"
                          "end tell");
}

std::optional<QString> genericActivateScript(const TerminalOrigin& origin) {
    if (!hasText(origin.bundleId)) {
        return std::nullopt;
    }
    return QStringLiteral("tell application id ") + quoted(*origin.bundleId) +
           QStringLiteral(" to activate");
}

QString quoted(const QString& text) {
    QString escaped = text;
    escaped.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    escaped.replace(QLatin1Char('"'), QLatin1String("\\\""));
    return QLatin1Char('"') + escaped + QLatin1Char('"');
}

} // namespace TerminalActivator

#include "XdgAutostart.h"

#include "Logging.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QSettings>
#include <optional>

namespace {

// $XDG_CONFIG_HOME/autostart/mofli.desktop, as the XDG autostart rules place it.
QString entryPath() {
    QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (!QDir::isAbsolutePath(config)) {
        config = QDir::homePath() + QStringLiteral("/.config");
    }
    return config + QStringLiteral("/autostart/mofli.desktop");
}

// The Exec value that runs `program`, by the desktop entry rules: an argument holding a reserved
// character is quoted, and inside the quotes a double quote, backtick, dollar sign or backslash
// takes a backslash; a literal percent sign is doubled, since it starts a field code; then, as in
// every string value, a backslash is doubled and a tab is written as an escape. Nothing for a
// path with any other control character: a line feed would end the entry's line, and no escape
// is defined for the others.
std::optional<QByteArray> execValue(const QString& program) {
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    QString argument;
    bool quoted = false;
    for (const QChar c : program) {
        if ((c.unicode() < 0x20 && c != QLatin1Char('\t')) || c.unicode() == 0x7F) {
            return std::nullopt;
        }
        quoted = quoted || reserved.contains(c);
        if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') ||
            c == QLatin1Char('\\')) {
            argument += QLatin1Char('\\');
        }
        argument += c == QLatin1Char('%') ? QStringLiteral("%%") : QString(c);
    }
    if (quoted) {
        argument = QLatin1Char('"') + argument + QLatin1Char('"');
    }
    argument.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    argument.replace(QLatin1Char('\t'), QStringLiteral("\\t"));
    return argument.toUtf8();
}

} // namespace

bool XdgAutostart::isEnabled() const {
    const QString path = entryPath();
    if (!QFile::exists(path)) {
        return false;
    }
    // Desktops switch an entry off in place rather than deleting it.
    QSettings entry(path, QSettings::IniFormat);
    entry.beginGroup(QStringLiteral("Desktop Entry"));
    return entry.value(QStringLiteral("Hidden")).toString() != QLatin1String("true") &&
           entry.value(QStringLiteral("X-GNOME-Autostart-enabled")).toString() !=
               QLatin1String("false");
}

bool XdgAutostart::setEnabled(bool enabled) {
    const QString path = entryPath();
    if (!enabled) {
        return !QFile::exists(path) || QFile::remove(path);
    }
    const std::optional<QByteArray> exec = execValue(QCoreApplication::applicationFilePath());
    if (!exec) {
        qCWarning(lcApp) << "cannot start at login from" << QCoreApplication::applicationFilePath()
                         << "(a control character in the path)";
        return false;
    }
    if (!QDir().mkpath(QFileInfo(path).path())) {
        return false;
    }
    // Saving through a symbolic link would write wherever it points; the link itself is replaced.
    if (QFileInfo(path).isSymLink() && !QFile::remove(path)) {
        return false;
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        return false;
    }
    const QByteArray entry = "[Desktop Entry]\n"
                             "Type=Application\n"
                             "Name=Mofli\n"
                             "Comment=A pixel-art pet that shows what Claude Code is doing\n"
                             "Icon=app.mofli.Mofli\n"
                             "Exec=" +
                             *exec +
                             "\n"
                             "Terminal=false\n"
                             "X-GNOME-Autostart-enabled=true\n";
    file.write(entry);
    return file.commit();
}

#include "LoginItem.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSaveFile>
#include <QSettings>

namespace {

// $XDG_CONFIG_HOME/autostart/mofli.desktop, as the XDG autostart rules place it.
QString entryPath() {
    QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (!QDir::isAbsolutePath(config)) {
        config = QDir::homePath() + QStringLiteral("/.config");
    }
    return config + QStringLiteral("/autostart/mofli.desktop");
}

// Desktop entries quote an argument with spaces and escape the characters special inside quotes.
QString execArgument(QString path) {
    if (!path.contains(QRegularExpression(QStringLiteral("[\\s\"'\\\\`$]")))) {
        return path;
    }
    path.replace(QLatin1Char('\\'), QStringLiteral("\\\\\\\\"));
    for (const char* special : {"\"", "`", "$"}) {
        path.replace(QLatin1String(special), QStringLiteral("\\\\") + QLatin1String(special));
    }
    return QLatin1Char('"') + path + QLatin1Char('"');
}

} // namespace

namespace LoginItem {

bool isEnabled() {
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

bool setEnabled(bool enabled) {
    const QString path = entryPath();
    if (!enabled) {
        return !QFile::exists(path) || QFile::remove(path);
    }
    if (!QDir().mkpath(QFileInfo(path).path())) {
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
                             execArgument(QCoreApplication::applicationFilePath()).toUtf8() +
                             "\n"
                             "Terminal=false\n"
                             "X-GNOME-Autostart-enabled=true\n";
    file.write(entry);
    return file.commit();
}

} // namespace LoginItem

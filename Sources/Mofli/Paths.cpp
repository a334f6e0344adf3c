#include "Paths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <pwd.h>
#include <unistd.h>

namespace Paths {

QString home() {
    const QString fromEnvironment = qEnvironmentVariable("HOME");
    if (!fromEnvironment.isEmpty()) {
        return fromEnvironment;
    }
    if (const passwd* entry = getpwuid(getuid()); entry != nullptr && entry->pw_dir != nullptr) {
        return QFile::decodeName(entry->pw_dir);
    }
    return QDir::rootPath();
}

QString mofliDir() {
    return home() + QStringLiteral("/.claude/mofli");
}

QString stateFile() {
    return mofliDir() + QStringLiteral("/state.json");
}

QString dataHome() {
#ifdef __APPLE__
    return home() + QStringLiteral("/Library/Application Support");
#else
    // The XDG base directory rules ignore relative values.
    const QString xdg = qEnvironmentVariable("XDG_DATA_HOME");
    if (QDir::isAbsolutePath(xdg)) {
        return xdg;
    }
    return home() + QStringLiteral("/.local/share");
#endif
}

std::optional<QString> resourceDir() {
    if (QCoreApplication::instance() == nullptr) {
        return std::nullopt;
    }
    const QString dir =
        QDir::cleanPath(QCoreApplication::applicationDirPath() + QStringLiteral("/../share/mofli"));
    if (!QFileInfo(dir).isDir()) {
        return std::nullopt;
    }
    return dir;
}

} // namespace Paths

#include "Paths.h"

#include "FileTrust.h"
#include "StateFileContract.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <pwd.h>
#include <sys/stat.h>
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
    return home() + QLatin1Char('/') + QString::fromUtf8(StateFileContract::folder);
}

QString stateFile() {
    return mofliDir() + QLatin1Char('/') + QString::fromUtf8(StateFileContract::stateFileName);
}

QString sessionsDir() {
    return mofliDir() + QLatin1Char('/') + QString::fromUtf8(StateFileContract::sessionsFolderName);
}

QString dataHome() {
#ifdef Q_OS_MACOS
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

QString appDataDir() {
    return dataHome() + QStringLiteral("/Mofli");
}

std::optional<QString> resourceDir() {
    const QString chosen = qEnvironmentVariable("MOFLI_RESOURCE_DIR");
    if (!chosen.isEmpty()) {
        return QFileInfo(chosen).isDir() ? std::optional(QDir::cleanPath(chosen)) : std::nullopt;
    }
    if (QCoreApplication::instance() == nullptr) {
        return std::nullopt;
    }
    const QString executableDir = QCoreApplication::applicationDirPath();
#ifdef Q_OS_MACOS
    // Inside Mofli.app the executable sits in Contents/MacOS, its resources in Contents/Resources.
    const QString bundled = QDir::cleanPath(executableDir + QStringLiteral("/../Resources"));
    if (QFileInfo(bundled + QStringLiteral("/pets")).isDir()) {
        return bundled;
    }
#endif
    const QString dir =
        QDir::cleanPath(executableDir + QStringLiteral("/" MOFLI_RESOURCES_FROM_BINARY));
    if (!QFileInfo(dir).isDir()) {
        return std::nullopt;
    }
    return dir;
}

std::optional<QString> runtimeDir() {
#ifdef Q_OS_MACOS
    const QString system = QDir::tempPath();
#else
    const QString system = qEnvironmentVariable("XDG_RUNTIME_DIR");
#endif
    if (QDir::isAbsolutePath(system) && FileTrust::isPrivateFolder(QDir::cleanPath(system))) {
        return QDir::cleanPath(system);
    }
    const QString own = QDir::tempPath() + QStringLiteral("/mofli-") + QString::number(geteuid());
    // An existing folder of that name is checked like any other, never changed: someone else may
    // have made it.
    ::mkdir(QFile::encodeName(own).constData(), 0700);
    if (!FileTrust::isPrivateFolder(own)) {
        return std::nullopt;
    }
    return own;
}

} // namespace Paths

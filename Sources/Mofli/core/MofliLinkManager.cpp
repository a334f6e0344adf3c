#include "MofliLinkManager.h"

#include "Paths.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

namespace MofliLinkManager {

namespace {

const QString marketplaceName = QStringLiteral("mofli");
const QString pluginId = QStringLiteral("mofli@mofli");

bool isExecutableFile(const QString& path) {
    const QFileInfo info(path);
    return info.isFile() && info.isExecutable();
}

// zsh where the system has it (macOS), else the user's own login shell.
QString loginShell() {
    if (isExecutableFile(QStringLiteral("/bin/zsh"))) {
        return QStringLiteral("/bin/zsh");
    }
    const QString shell = qEnvironmentVariable("SHELL");
    if (QDir::isAbsolutePath(shell) && isExecutableFile(shell)) {
        return shell;
    }
    return QStringLiteral("/bin/sh");
}

// Valid UTF-8, and only that, comes back unchanged from a round trip.
QString decodedOrEmpty(const QByteArray& bytes) {
    QString text = QString::fromUtf8(bytes);
    return text.toUtf8() == bytes ? text : QString();
}

// A directory tree copied file by file, keeping each file's permissions (the hook inside must
// stay executable).
std::optional<LinkError> copyTree(const QString& from, const QString& to) {
    if (!QDir().mkpath(to)) {
        return LinkError::fileError(
            QStringLiteral("フォルダーを作れませんでした: %1").arg(QDir::toNativeSeparators(to)));
    }
    QDirIterator entries(from, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                         QDirIterator::Subdirectories);
    const QDir source(from);
    while (entries.hasNext()) {
        const QString path = entries.next();
        const QFileInfo info = entries.fileInfo();
        const QString target = QDir(to).filePath(source.relativeFilePath(path));
        if (info.isDir()) {
            if (!QDir().mkpath(target)) {
                return LinkError::fileError(QStringLiteral("フォルダーを作れませんでした: %1")
                                                .arg(QDir::toNativeSeparators(target)));
            }
            continue;
        }
        QFile file(path);
        if (!file.copy(target) || !QFile::setPermissions(target, info.permissions())) {
            return LinkError::fileError(file.errorString() + QStringLiteral(": ") +
                                        QDir::toNativeSeparators(target));
        }
    }
    return std::nullopt;
}

// Removes a folder, file or link at `path`; true when nothing is left there.
bool removeEntry(const QString& path) {
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink()) {
        return true;
    }
    if (info.isDir() && !info.isSymLink()) {
        return QDir(path).removeRecursively();
    }
    return QFile::remove(path);
}

} // namespace

std::optional<QString> claudePath() {
    const QString home = QDir::cleanPath(Paths::home());
    const QStringList candidates = {
        home + QStringLiteral("/.local/bin/claude"),
        QStringLiteral("/opt/homebrew/bin/claude"),
        QStringLiteral("/usr/local/bin/claude"),
        home + QStringLiteral("/.claude/local/claude"),
    };
    for (const QString& candidate : candidates) {
        if (isExecutableFile(candidate)) {
            return candidate;
        }
    }
    const CommandResult found =
        run(loginShell(), {QStringLiteral("-lc"), QStringLiteral("command -v claude")});
    const QString path = found.output.trimmed();
    if (found.status == 0 && !path.isEmpty() && isExecutableFile(path)) {
        return path;
    }
    return std::nullopt;
}

CommandResult run(const QString& executable, const QStringList& arguments,
                  std::chrono::milliseconds timeout) {
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.setProgram(executable);
    process.setArguments(arguments);
    process.start();
    if (!process.waitForStarted(int(timeout.count()))) {
        return {-1, process.errorString()};
    }
    if (!process.waitForFinished(int(timeout.count()))) {
        process.kill();
        process.waitForFinished(-1);
        return {-1, QStringLiteral("%1 が %2 秒たっても終わらなかったため、中断しました。")
                        .arg(QFileInfo(executable).fileName())
                        .arg(timeout.count() / 1000.0)};
    }
    const QString output = decodedOrEmpty(process.readAll());
    if (process.exitStatus() == QProcess::CrashExit) {
        return {-1, output};
    }
    return {process.exitCode(), output};
}

std::optional<QString> bundledPluginURL() {
    const std::optional<QString> resources = Paths::resourceDir();
    if (!resources) {
        return std::nullopt;
    }
    return QDir(*resources).filePath(QStringLiteral("mofli-plugin"));
}

QString installedPluginDir() {
    return Paths::appDataDir() + QStringLiteral("/mofli-plugin");
}

std::optional<LinkError> deployBundledPlugin() {
    const std::optional<QString> bundled = bundledPluginURL();
    if (!bundled || !QFileInfo::exists(*bundled)) {
        return LinkError::bundledPluginMissing();
    }
    const QString installed = installedPluginDir();
    const QString parent = QFileInfo(installed).path();
    if (!QDir().mkpath(parent)) {
        return LinkError::fileError(QStringLiteral("フォルダーを作れませんでした: %1")
                                        .arg(QDir::toNativeSeparators(parent)));
    }
    if (!removeEntry(installed)) {
        return LinkError::fileError(QStringLiteral("古い連携ファイルを削除できませんでした: %1")
                                        .arg(QDir::toNativeSeparators(installed)));
    }
    return copyTree(*bundled, installed);
}

std::optional<LinkError> link() {
    const std::optional<QString> claude = claudePath();
    if (!claude) {
        return LinkError::claudeNotFound();
    }
    if (std::optional<LinkError> error = deployBundledPlugin()) {
        return error;
    }
    run(*claude, {QStringLiteral("plugin"), QStringLiteral("marketplace"), QStringLiteral("add"),
                  installedPluginDir()});
    const CommandResult installed =
        run(*claude, {QStringLiteral("plugin"), QStringLiteral("install"), pluginId});
    // "Already installed" and the like fail with the plugin's id in the message.
    if (installed.status != 0 && !installed.output.contains(pluginId)) {
        return LinkError::commandFailed(installed.output.trimmed());
    }
    return std::nullopt;
}

std::optional<LinkError> unlink() {
    const std::optional<QString> claude = claudePath();
    if (!claude) {
        return LinkError::claudeNotFound();
    }
    run(*claude, {QStringLiteral("plugin"), QStringLiteral("uninstall"), pluginId});
    run(*claude, {QStringLiteral("plugin"), QStringLiteral("marketplace"), QStringLiteral("remove"),
                  marketplaceName});
    removeEntry(installedPluginDir());
    return std::nullopt;
}

bool isLinked() {
    const std::optional<QString> claude = claudePath();
    if (!claude) {
        return false;
    }
    return run(*claude, {QStringLiteral("plugin"), QStringLiteral("list")})
        .output.contains(pluginId);
}

} // namespace MofliLinkManager

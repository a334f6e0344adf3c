#include "MofliLinkManager.h"

#include "Paths.h"
#include "PluginHooks.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>
#include <variant>

namespace MofliLinkManager {

namespace {

const QString marketplaceName = QStringLiteral("mofli");
const QString pluginId = QStringLiteral("mofli@mofli");
// How often a waiting command looks at its cancellation: quitting must not wait for `claude`.
constexpr int pollMilliseconds = 50;

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

// Where claudePath() looks: each place in order, then the login shell.
struct ClaudeSearch {
    QStringList places;
    QString shell;
};

ClaudeSearch claudeSearch() {
    ClaudeSearch search;
    if (const QString places = qEnvironmentVariable("MOFLI_CLAUDE_PLACES"); !places.isEmpty()) {
        search.places = places.split(QLatin1Char(':'), Qt::SkipEmptyParts);
    } else {
        const QString home = QDir::cleanPath(Paths::home());
        search.places = {
            home + QStringLiteral("/.local/bin/claude"),
            QStringLiteral("/opt/homebrew/bin/claude"),
            QStringLiteral("/usr/local/bin/claude"),
            home + QStringLiteral("/.claude/local/claude"),
        };
    }
    search.shell = qEnvironmentVariable("MOFLI_CLAUDE_SHELL");
    if (search.shell.isEmpty()) {
        search.shell = loginShell();
    }
    return search;
}

// The kept bytes as text: cut at a character boundary when over the limit, with a note saying
// so. Valid UTF-8, and only that, comes back unchanged from a round trip; anything else is none.
QString keptText(QByteArray bytes) {
    const bool cut = bytes.size() > outputLimit;
    if (cut) {
        qsizetype end = outputLimit;
        while (end > 0 && (static_cast<unsigned char>(bytes[end]) & 0xC0) == 0x80) {
            --end;
        }
        bytes.truncate(end);
    }
    QString text = QString::fromUtf8(bytes);
    if (text.toUtf8() != bytes) {
        text.clear();
    }
    if (cut) {
        text += QStringLiteral("\n…（出力が %1 KB を超えたため、その先は省きました）")
                    .arg(outputLimit / 1024);
    }
    return text;
}

void killGroup(QProcess& process) {
    // Not yet reaped, so the group id cannot belong to anyone else.
    if (const qint64 pid = process.processId(); pid > 0) {
        ::kill(-static_cast<pid_t>(pid), SIGKILL);
    }
    process.kill();
    process.waitForFinished(1000);
}

// What Claude Code lists for the plugin.
struct Listing {
    bool enabled = false;
    QStringList errors;
    // The copy Claude Code made in its cache; some releases load that one.
    QString installPath;
};

struct Claude {
    QString path;
    CliVersion version;
};

// One file of the plugin as this app deploys it.
struct PluginFile {
    QString relativePath;
    QByteArray contents;
    QFile::Permissions permissions;
};
using PluginTree = QList<PluginFile>;

std::variant<Claude, LinkError> supportedClaude(const Cancellation& cancel) {
    const std::optional<QString> path = claudePath(cancel);
    if (!path) {
        return LinkError::claudeNotFound();
    }
    const CommandResult answer = run(*path, {QStringLiteral("--version")}, cancel);
    const std::optional<CliVersion> version =
        answer.status == 0 ? CliVersion::parse(answer.output) : std::nullopt;
    if (!version) {
        return LinkError::commandFailed(QStringLiteral("claude --version: ") +
                                        answer.output.trimmed());
    }
    if (*version < PluginHooks::oldestSupported) {
        return LinkError::cliTooOld(version->toString());
    }
    return Claude{*path, *version};
}

// The JSON array in `plugin list --json` output, which may come after warnings of the tool.
std::optional<QJsonArray> listedEntries(const QString& output) {
    const qsizetype start =
        output.startsWith(QLatin1Char('[')) ? 0 : output.indexOf(QStringLiteral("\n[")) + 1;
    const qsizetype end = output.lastIndexOf(QLatin1Char(']'));
    if (start < 0 || end < start) {
        return std::nullopt;
    }
    const QJsonDocument document =
        QJsonDocument::fromJson(output.mid(start, end - start + 1).toUtf8());
    return document.isArray() ? std::optional(document.array()) : std::nullopt;
}

// The plugin's entry in Claude Code's list; nothing when it is not there.
std::variant<std::optional<Listing>, LinkError> listPlugin(const QString& claude,
                                                           const Cancellation& cancel) {
    const CommandResult listed =
        run(claude, {QStringLiteral("plugin"), QStringLiteral("list"), QStringLiteral("--json")},
            cancel);
    const std::optional<QJsonArray> entries =
        listed.status == 0 ? listedEntries(listed.output) : std::nullopt;
    if (!entries) {
        return LinkError::commandFailed(QStringLiteral("claude plugin list --json: ") +
                                        listed.output.trimmed());
    }
    for (const QJsonValue& value : *entries) {
        const QJsonObject entry = value.toObject();
        if (entry.value(QStringLiteral("id")).toString() != pluginId) {
            continue;
        }
        Listing listing;
        listing.enabled = entry.value(QStringLiteral("enabled")).toBool(false);
        listing.installPath = entry.value(QStringLiteral("installPath")).toString();
        for (const QJsonValue& error : entry.value(QStringLiteral("errors")).toArray()) {
            listing.errors.append(
                error.isString()
                    ? error.toString()
                    : QString::fromUtf8(
                          QJsonDocument(QJsonArray{error}).toJson(QJsonDocument::Compact)));
        }
        return std::optional(listing);
    }
    return std::optional<Listing>();
}

// The bundled plugin with its hooks written for `version`.
std::variant<PluginTree, LinkError> pluginFor(const CliVersion& version) {
    const std::optional<QString> bundled = bundledPluginURL();
    if (!bundled || !QFileInfo(*bundled).isDir()) {
        return LinkError::bundledPluginMissing();
    }
    const QString hooksFile = QString::fromLatin1(PluginHooks::hooksFile);
    PluginTree tree;
    QDirIterator files(*bundled, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    const QDir root(*bundled);
    while (files.hasNext()) {
        QFile file(files.next());
        const QString relative = root.relativeFilePath(file.fileName());
        if (relative == hooksFile) {
            continue;
        }
        if (!file.open(QIODevice::ReadOnly)) {
            return LinkError::fileError(file.errorString() + QStringLiteral(": ") +
                                        QDir::toNativeSeparators(file.fileName()));
        }
        tree.append({relative, file.readAll(), file.permissions()});
    }
    tree.append({hooksFile, PluginHooks::hooksJson(version),
                 QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther});
    return tree;
}

// Whether `dir` holds every file of `tree` as it is there; what else it holds does not matter.
bool holds(const QString& dir, const PluginTree& tree) {
    for (const PluginFile& wanted : tree) {
        QFile file(QDir(dir).filePath(wanted.relativePath));
        if (!file.open(QIODevice::ReadOnly) || file.readAll() != wanted.contents) {
            return false;
        }
        if ((wanted.permissions & QFile::ExeOwner) && !(file.permissions() & QFile::ExeOwner)) {
            return false;
        }
    }
    return true;
}

std::optional<LinkError> writeTree(const QString& dir, const PluginTree& tree) {
    for (const PluginFile& wanted : tree) {
        const QString target = QDir(dir).filePath(wanted.relativePath);
        if (!QDir().mkpath(QFileInfo(target).path())) {
            return LinkError::fileError(QStringLiteral("フォルダーを作れませんでした: %1")
                                            .arg(QDir::toNativeSeparators(target)));
        }
        QFile file(target);
        if (!file.open(QIODevice::WriteOnly) ||
            file.write(wanted.contents) != wanted.contents.size() || !file.flush() ||
            !file.setPermissions(wanted.permissions)) {
            return LinkError::fileError(file.errorString() + QStringLiteral(": ") +
                                        QDir::toNativeSeparators(target));
        }
    }
    return std::nullopt;
}

// Swaps two existing entries in one step, where the system and the file system can.
bool exchange(const QString& first, const QString& second) {
    const QByteArray a = QFile::encodeName(first);
    const QByteArray b = QFile::encodeName(second);
#if defined(Q_OS_LINUX)
    return ::renameat2(AT_FDCWD, a.constData(), AT_FDCWD, b.constData(), RENAME_EXCHANGE) == 0;
#elif defined(Q_OS_MACOS)
    return ::renamex_np(a.constData(), b.constData(), RENAME_SWAP) == 0;
#else
    return false;
#endif
}

bool renameEntry(const QString& from, const QString& to) {
    return ::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0;
}

// Puts the folder `fresh` at `target`; whatever was at `target` ends up at `fresh`.
bool swapIn(const QString& fresh, const QString& target) {
    const QFileInfo existing(target);
    // A link put there by hand goes, not what it points to, which the swap would hand over to
    // the clean-up of `fresh`.
    if (existing.isSymLink() && !QFile::remove(target)) {
        return false;
    }
    if (!QFileInfo::exists(target)) {
        return renameEntry(fresh, target);
    }
    if (exchange(fresh, target)) {
        return true;
    }
    // Without an exchange the old folder steps aside for a moment, and comes back if the new one
    // cannot take its place.
    const QString aside = fresh + QStringLiteral(".old");
    if (!renameEntry(target, aside)) {
        return false;
    }
    if (!renameEntry(fresh, target)) {
        renameEntry(aside, target);
        return false;
    }
    return renameEntry(aside, fresh);
}

std::optional<LinkError> deploy(const PluginTree& tree) {
    const QString installed = installedPluginDir();
    const QString parent = QFileInfo(installed).path();
    if (!QDir().mkpath(parent)) {
        return LinkError::fileError(QStringLiteral("フォルダーを作れませんでした: %1")
                                        .arg(QDir::toNativeSeparators(parent)));
    }
    // Beside the folder, on the same file system, so that it can be swapped in. Whatever is left
    // at this path in the end (a failed copy, or the previous folder) goes with it.
    QTemporaryDir fresh(QDir(parent).filePath(QStringLiteral(".mofli-plugin-XXXXXX")));
    if (!fresh.isValid()) {
        return LinkError::fileError(
            QStringLiteral("フォルダーを作れませんでした: %1（%2）")
                .arg(QDir::toNativeSeparators(parent), fresh.errorString()));
    }
    QFile::setPermissions(fresh.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                            QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther |
                                            QFile::ExeOther);
    if (std::optional<LinkError> error = writeTree(fresh.path(), tree)) {
        return error;
    }
    if (!swapIn(fresh.path(), installed)) {
        return LinkError::fileError(
            QStringLiteral("連携ファイルを入れ替えられませんでした: %1（%2）")
                .arg(QDir::toNativeSeparators(installed), qt_error_string(errno)));
    }
    return std::nullopt;
}

std::optional<LinkError> deployIfChanged(const PluginTree& tree) {
    return holds(installedPluginDir(), tree) ? std::nullopt : deploy(tree);
}

// A tool the plugin works with, and the plugin as this app deploys it for that tool's release.
struct Target {
    Claude claude;
    PluginTree tree;
};

std::variant<Target, LinkError> linkTarget(const Cancellation& cancel) {
    const auto found = supportedClaude(cancel);
    if (const auto* error = std::get_if<LinkError>(&found)) {
        return *error;
    }
    const Claude& claude = std::get<Claude>(found);
    auto plugin = pluginFor(claude.version);
    if (const auto* error = std::get_if<LinkError>(&plugin)) {
        return *error;
    }
    return Target{claude, std::move(std::get<PluginTree>(plugin))};
}

// Whether Claude Code keeps a copy of its own that differs from `tree`. Some releases load the
// plugin from that copy and renew it only when the plugin is installed anew.
bool cacheIsStale(const Listing& listing, const PluginTree& tree) {
    const QString path = listing.installPath;
    return !path.isEmpty() && QFileInfo(path).isDir() &&
           QFileInfo(path).canonicalFilePath() !=
               QFileInfo(installedPluginDir()).canonicalFilePath() &&
           !holds(path, tree);
}

CommandResult pluginCommand(const Claude& claude, const QStringList& arguments,
                            const Cancellation& cancel) {
    return run(claude.path, QStringList{QStringLiteral("plugin")} + arguments, cancel);
}

// After an install: makes sure Claude Code runs the deployed plugin, enabled and without load
// errors, installing it anew where its own copy is outdated or broken.
std::optional<LinkError> settle(const Claude& claude, const PluginTree& tree,
                                const Cancellation& cancel) {
    std::optional<Listing> listing;
    const auto relist = [&]() -> std::optional<LinkError> {
        auto listed = listPlugin(claude.path, cancel);
        if (auto* error = std::get_if<LinkError>(&listed)) {
            return *error;
        }
        listing = std::get<std::optional<Listing>>(listed);
        return std::nullopt;
    };
    if (std::optional<LinkError> error = relist()) {
        return error;
    }
    if (listing && !listing->enabled) {
        const CommandResult enabled =
            pluginCommand(claude, {QStringLiteral("enable"), pluginId}, cancel);
        if (enabled.status != 0) {
            return LinkError::commandFailed(enabled.output.trimmed());
        }
        if (std::optional<LinkError> error = relist()) {
            return error;
        }
    }
    if (listing && (!listing->errors.isEmpty() || cacheIsStale(*listing, tree))) {
        pluginCommand(claude, {QStringLiteral("uninstall"), pluginId}, cancel);
        const CommandResult installed =
            pluginCommand(claude, {QStringLiteral("install"), pluginId}, cancel);
        if (installed.status != 0) {
            return LinkError::commandFailed(installed.output.trimmed());
        }
        if (std::optional<LinkError> error = relist()) {
            return error;
        }
    }
    if (!listing) {
        return LinkError::commandFailed(
            QStringLiteral("インストールしたはずの %1 が claude plugin list にありません。")
                .arg(pluginId));
    }
    if (!listing->errors.isEmpty()) {
        return LinkError::commandFailed(
            QStringLiteral("Claude Code が %1 を読み込めませんでした:\n").arg(pluginId) +
            listing->errors.join(QLatin1Char('\n')));
    }
    if (!listing->enabled) {
        return LinkError::commandFailed(QStringLiteral("%1 が無効のままです。").arg(pluginId));
    }
    return std::nullopt;
}

} // namespace

std::optional<QString> claudePath(const Cancellation& cancel) {
    const ClaudeSearch search = claudeSearch();
    for (const QString& candidate : search.places) {
        if (QDir::isAbsolutePath(candidate) && isExecutableFile(candidate)) {
            return candidate;
        }
    }
    const CommandResult found =
        run(search.shell, {QStringLiteral("-lc"), QStringLiteral("command -v claude")}, cancel);
    if (found.status != 0) {
        return std::nullopt;
    }
    // A login profile may print lines of its own before the answer.
    const QStringList lines = found.output.split(QLatin1Char('\n'));
    for (auto line = lines.crbegin(); line != lines.crend(); ++line) {
        const QString path = line->trimmed();
        if (QDir::isAbsolutePath(path) && isExecutableFile(path)) {
            return path;
        }
    }
    return std::nullopt;
}

CommandResult run(const QString& executable, const QStringList& arguments,
                  const Cancellation& cancel, std::chrono::milliseconds timeout) {
    const QString name = QFileInfo(executable).fileName();
    if (cancel.isCancelled()) {
        return {-1, QStringLiteral("%1 を始める前に中断しました。").arg(name)};
    }
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    // A tool that asks a question gets end of file instead of waiting for an answer forever.
    process.setStandardInputFile(QProcess::nullDevice());
    // A group of its own, so that a timeout or a cancellation takes everything it started.
    process.setChildProcessModifier([] { ::setpgid(0, 0); });
    process.setProgram(executable);
    process.setArguments(arguments);
    process.start();
    if (!process.waitForStarted(int(timeout.count()))) {
        return {-1, process.errorString()};
    }
    QByteArray kept;
    // Reads what came so far; beyond the limit it is read and dropped, so the tool never blocks.
    const auto drain = [&] {
        const QByteArray chunk = process.readAll();
        kept.append(chunk.first(std::min(chunk.size(), outputLimit + 1 - kept.size())));
    };
    const QDeadlineTimer deadline(timeout);
    while (process.state() != QProcess::NotRunning) {
        if (cancel.isCancelled() || deadline.hasExpired()) {
            const QString note =
                cancel.isCancelled()
                    ? QStringLiteral("%1 を中断しました。").arg(name)
                    : QStringLiteral("%1 が %2 秒たっても終わらなかったため、中断しました。")
                          .arg(name)
                          .arg(timeout.count() / 1000.0);
            killGroup(process);
            drain();
            const QString output = keptText(kept).trimmed();
            return {-1, output.isEmpty() ? note : note + QLatin1Char('\n') + output};
        }
        process.waitForReadyRead(pollMilliseconds);
        drain();
    }
    drain();
    const QString output = keptText(kept);
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

std::optional<LinkError> deployBundledPlugin(const CliVersion& version) {
    const auto tree = pluginFor(version);
    if (const auto* error = std::get_if<LinkError>(&tree)) {
        return *error;
    }
    return deploy(std::get<PluginTree>(tree));
}

std::optional<LinkError> link(const Cancellation& cancel) {
    const auto target = linkTarget(cancel);
    if (const auto* error = std::get_if<LinkError>(&target)) {
        return *error;
    }
    const auto& [claude, tree] = std::get<Target>(target);
    if (std::optional<LinkError> error = deployIfChanged(tree)) {
        return error;
    }
    const CommandResult added = pluginCommand(
        claude, {QStringLiteral("marketplace"), QStringLiteral("add"), installedPluginDir()},
        cancel);
    const CommandResult installed =
        pluginCommand(claude, {QStringLiteral("install"), pluginId}, cancel);
    // The tool announces the plugin's id before every failure: only the status tells.
    if (installed.status != 0) {
        // A marketplace that could not be added explains the failed install best.
        const QString why = added.status != 0 ? added.output.trimmed() + QLatin1Char('\n') +
                                                    installed.output.trimmed()
                                              : installed.output.trimmed();
        return LinkError::commandFailed(why);
    }
    return settle(claude, tree, cancel);
}

std::optional<LinkError> unlink(const Cancellation& cancel) {
    const std::optional<QString> claude = claudePath(cancel);
    if (!claude) {
        return LinkError::claudeNotFound();
    }
    const CommandResult uninstalled =
        run(*claude, {QStringLiteral("plugin"), QStringLiteral("uninstall"), pluginId}, cancel);
    run(*claude,
        {QStringLiteral("plugin"), QStringLiteral("marketplace"), QStringLiteral("remove"),
         marketplaceName},
        cancel);
    const auto listed = listPlugin(*claude, cancel);
    if (const auto* error = std::get_if<LinkError>(&listed)) {
        return *error;
    }
    if (std::get<std::optional<Listing>>(listed)) {
        // Claude Code still runs the hook from the folder: it stays.
        return LinkError::commandFailed(uninstalled.output.trimmed());
    }
    const QString installed = installedPluginDir();
    if (QFileInfo(installed).isDir() && !QFileInfo(installed).isSymLink()) {
        QDir(installed).removeRecursively();
    } else {
        QFile::remove(installed);
    }
    return std::nullopt;
}

bool isLinked(const Cancellation& cancel) {
    const std::optional<QString> claude = claudePath(cancel);
    if (!claude) {
        return false;
    }
    const auto listed = listPlugin(*claude, cancel);
    const auto* listing = std::get_if<std::optional<Listing>>(&listed);
    return listing && *listing && (*listing)->enabled && (*listing)->errors.isEmpty();
}

std::optional<LinkError> refresh(const Cancellation& cancel) {
    // Never deployed here: nothing of this app's to renew, and no `claude` to start at launch.
    if (!QFileInfo(installedPluginDir()).isDir()) {
        return std::nullopt;
    }
    const std::optional<QString> path = claudePath(cancel);
    if (!path) {
        return std::nullopt;
    }
    const auto listed = listPlugin(*path, cancel);
    const auto* listing = std::get_if<std::optional<Listing>>(&listed);
    if (!listing || !*listing) {
        return std::nullopt;
    }
    const auto target = linkTarget(cancel);
    if (const auto* error = std::get_if<LinkError>(&target)) {
        return *error;
    }
    const auto& [claude, tree] = std::get<Target>(target);
    if (holds(installedPluginDir(), tree) && (*listing)->errors.isEmpty() &&
        !cacheIsStale(**listing, tree)) {
        return std::nullopt;
    }
    if (std::optional<LinkError> error = deployIfChanged(tree)) {
        return error;
    }
    // A plugin the user turned off stays off; the fresh folder waits for it.
    if (!(*listing)->enabled) {
        return std::nullopt;
    }
    return settle(claude, tree, cancel);
}

} // namespace MofliLinkManager

#pragma once

#include "LinkError.h"

#include <QString>
#include <QStringList>
#include <chrono>
#include <optional>

// Links the app's Claude Code plugin into Claude Code through the `claude` tool: the plugin
// folder from the resources is copied to the app's data folder and registered there as the
// marketplace "mofli" offering the plugin "mofli". Every operation blocks and runs child
// processes, so none may run on the main thread. Nothing is cached: each call looks again.
namespace MofliLinkManager {

struct CommandResult {
    int status = 0;
    QString output; // standard output and error merged
};

// How long one `claude` command may take. `plugin` commands answer in about a second; a tool
// stuck on a prompt or a network call must not block linking for the rest of the run.
inline constexpr std::chrono::milliseconds commandTimeout{60000};

// The absolute path of an executable `claude`: the usual install places first, then what the
// user's login shell finds.
std::optional<QString> claudePath();
// Runs `executable` with `arguments`. A program that cannot start gives status -1 and the reason;
// one still running after `timeout` is killed and gives status -1 and a note saying so. Output
// that is not UTF-8 counts as none.
CommandResult run(const QString& executable, const QStringList& arguments,
                  std::chrono::milliseconds timeout = commandTimeout);

// <resources>/mofli-plugin; nothing when the app has no resource folder.
std::optional<QString> bundledPluginURL();
// <app data folder>/mofli-plugin, where Claude Code is told to find the plugin.
QString installedPluginDir();

// Replaces the installed plugin folder with a fresh copy of the bundled one.
std::optional<LinkError> deployBundledPlugin();
// Deploys the plugin and installs it into Claude Code; nothing on success.
std::optional<LinkError> link();
// Uninstalls the plugin and deletes the installed folder. Fails only when there is no `claude`.
std::optional<LinkError> unlink();
// Whether Claude Code lists the plugin.
bool isLinked();

} // namespace MofliLinkManager

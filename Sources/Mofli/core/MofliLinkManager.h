#pragma once

#include "Cancellation.h"
#include "CliVersion.h"
#include "LinkError.h"

#include <QString>
#include <QStringList>
#include <chrono>
#include <optional>

// Links the app's Claude Code plugin into Claude Code through the `claude` tool: the plugin
// folder from the resources, with hooks written for the Claude Code that is installed, is
// deployed to the app's data folder and registered there as the marketplace "mofli" offering the
// plugin "mofli". Linked means that `claude plugin list --json` shows the plugin enabled and
// loaded without errors; nothing less counts as success. Every operation blocks and runs child
// processes, so none may run on the main thread; each gives up once `cancel` is raised. Nothing
// is cached: each call looks again.
namespace MofliLinkManager {

struct CommandResult {
    int status = 0;
    QString output; // standard output and error merged
};

// How long one `claude` command may take. `plugin` commands answer in about a second; a tool
// stuck on a prompt or a network call must not block linking for the rest of the run.
inline constexpr std::chrono::milliseconds commandTimeout{60000};
// How much of a command's output is kept: enough for any message worth reading, and a tool that
// floods its output cannot fill the app's memory.
inline constexpr qsizetype outputLimit = 64 * 1024;

// The absolute path of an executable `claude`: the usual install places first (~/.local/bin,
// /opt/homebrew/bin, /usr/local/bin, ~/.claude/local), then what the user's login shell (zsh
// where the system has it) answers to `command -v claude`. $MOFLI_CLAUDE_PLACES (paths separated
// by ':') and $MOFLI_CLAUDE_SHELL replace the places and the shell when set: for a `claude` kept
// elsewhere, and for tests, which must not find the one of the machine they run on.
std::optional<QString> claudePath(const Cancellation& cancel = Cancellation::never());
// Runs `executable` with `arguments` in a process group of its own, with standard input at end of
// file. A program that cannot start gives status -1 and the reason; one still running after
// `timeout`, or when `cancel` is raised, is killed with everything it started and gives -1 and a
// note saying so. The first outputLimit bytes of output are kept, with a note when more came;
// output that is not UTF-8 counts as none.
CommandResult run(const QString& executable, const QStringList& arguments,
                  const Cancellation& cancel = Cancellation::never(),
                  std::chrono::milliseconds timeout = commandTimeout);

// <resources>/mofli-plugin; nothing when the app has no resource folder.
std::optional<QString> bundledPluginURL();
// <app data folder>/mofli-plugin, where Claude Code is told to find the plugin.
QString installedPluginDir();

// Replaces the installed plugin folder with the bundled one, its hooks written for `version`.
// The copy is made beside the folder and swapped in, so a failure leaves the previous one whole.
std::optional<LinkError> deployBundledPlugin(const CliVersion& version);
// Deploys the plugin and installs it into Claude Code; nothing once it is linked.
std::optional<LinkError> link(const Cancellation& cancel = Cancellation::never());
// Uninstalls the plugin; the installed folder is deleted only once Claude Code no longer lists
// the plugin, and kept otherwise, since Claude Code may still run the hook from it.
std::optional<LinkError> unlink(const Cancellation& cancel = Cancellation::never());
// Whether Claude Code lists the plugin as enabled and loaded without errors.
bool isLinked(const Cancellation& cancel = Cancellation::never());
// For a plugin this app deployed and Claude Code lists: when what Claude Code loads differs from
// what this app deploys for the installed Claude Code (a newer app, or a Claude Code that crossed
// a release changing the hooks), deploys again and makes Claude Code take the new copy. Nothing
// to do, or no way to tell (no folder, no tool, no list), is no error.
std::optional<LinkError> refresh(const Cancellation& cancel = Cancellation::never());

} // namespace MofliLinkManager

#pragma once

#include <QString>
#include <optional>

// Where the app finds its files. Everything derives from $HOME and the XDG variables so that
// tests can run against a temporary home.
namespace Paths {

// $HOME, falling back to the password database.
QString home();
// ~/.claude/mofli
QString mofliDir();
// ~/.claude/mofli/state.json
QString stateFile();
// ~/.claude/mofli/sessions, the hook's record of each Claude Code session
QString sessionsDir();
// $XDG_DATA_HOME or ~/.local/share on Linux, ~/Library/Application Support on macOS.
QString dataHome();
// The app's own folder in dataHome(): user pets and the deployed Claude Code plugin live there.
QString appDataDir();
// $MOFLI_RESOURCE_DIR when set (to run one build against the resources of another, or a test
// against its own), else Contents/Resources inside Mofli.app, else <executable dir>/../share/mofli
// (or wherever the build puts the data folder beside the executable's; the build tree mirrors the
// installed layout). Nothing when the folder is not there.
std::optional<QString> resourceDir();
// The user's private folder for sockets: $XDG_RUNTIME_DIR (on macOS the per-user temporary
// folder) when it is the user's own and nobody else may enter it, else <temporary
// folder>/mofli-<uid>, made for the purpose. Nothing when that name is taken by something that is
// no such folder: it is in a place everyone can write to.
std::optional<QString> runtimeDir();

} // namespace Paths

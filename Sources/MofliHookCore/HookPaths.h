#pragma once

#include <string>

// Where the hook keeps its files. Everything derives from $HOME so that tests can run the hook
// against a temporary home.
namespace HookPaths {

// $HOME, falling back to the password database when it is unset or empty.
std::string home();
// ~/.claude/mofli
std::string mofliDir();
// ~/.claude/mofli/state.json
std::string stateFile();
// ~/.claude/mofli/session.json
std::string sessionFile();
// ~/.claude/mofli/session.lock, held while a run updates the session record.
std::string sessionLockFile();

} // namespace HookPaths

#pragma once

#include <string>
#include <string_view>

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
// ~/.claude/mofli/sessions
std::string sessionsDir();
// The live record of one session, and the counts behind its recap.
std::string sessionRecordFile(std::string_view sessionId);
std::string sessionCountsFile(std::string_view sessionId);

} // namespace HookPaths

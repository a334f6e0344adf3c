#pragma once

#include <cstddef>
#include <string_view>

// What the hook and the app agree on about the files under ~/.claude/mofli. The hook is the only
// writer of the state file; the app reads it and writes only the idle default when it is missing.
namespace StateFileContract {

// Below the home folder.
inline constexpr std::string_view folder = ".claude/mofli";
inline constexpr std::string_view stateFileName = "state.json";
// The hook's own files beside it.
inline constexpr std::string_view sessionFileName = "session.json";
inline constexpr std::string_view sessionLockFileName = "session.lock";
// A run that cannot get the lock leaves its tool call in a file of its own with this prefix, which
// the next holder counts into the record.
inline constexpr std::string_view pendingCallFilePrefix = "session.pending.";

// Keys of the state file, in the order the hook writes them.
namespace Key {
inline constexpr std::string_view state = "state";
inline constexpr std::string_view message = "message";
inline constexpr std::string_view label = "label";
inline constexpr std::string_view recap = "recap";
inline constexpr std::string_view thinking = "thinking";
inline constexpr std::string_view sessionId = "sessionId";
inline constexpr std::string_view cwd = "cwd";
inline constexpr std::string_view termProgram = "termProgram";
inline constexpr std::string_view termSession = "termSession";
inline constexpr std::string_view tty = "tty";
inline constexpr std::string_view termBundleId = "termBundleId";
// WINDOWID, the X11 window of the terminal; readers must do without it.
inline constexpr std::string_view termWindowId = "termWindowId";
} // namespace Key

// Bubble texts are cut to this many user-perceived characters, by the hook and again by the app.
inline constexpr int messageLimit = 48;
// A user-perceived character may hold any number of code points ("a" under thousands of
// combining marks, emoji chained by zero-width joiners); both programs keep at most this many of
// each and drop the rest.
inline constexpr std::size_t characterCodePointLimit = 16;
// And no compacted text exceeds this many bytes, whatever its characters hold.
inline constexpr std::size_t textByteLimit = 2048;
// The hook never writes a state file of more than a few hundred kilobytes; the app skips larger
// ones unread.
inline constexpr std::size_t stateFileByteLimit = 1 << 20;
// The message of a turn that has nothing to show yet; the app starts its thinking phrases here.
inline constexpr std::string_view thinkingSeed = "考え中…";
// What the app writes when there is no state file yet.
inline constexpr std::string_view idleDefault = R"({"state":"idle","message":null})";

} // namespace StateFileContract

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

// One record per Claude Code session beside the state file, for following several sessions at
// once: <folder>/sessions/<SHA-1 of the session id, 40 lowercase hexadecimal digits>.json. The hook
// replaces a session's record as a whole on each of its events, and removes it when the session
// ends; a session that ends without saying so (its terminal killed) leaves its record behind, with
// the process id that tells it is gone. Events without a session id leave no record.
inline constexpr std::string_view sessionsFolderName = "sessions";
inline constexpr std::string_view sessionRecordSuffix = ".json";
// The hook's own per-session counts behind each session's recap, beside the records and in the
// form of the session file, which holds those of the session that counted last instead. They
// outlive the session's record, so that a resumed session goes on counting; the hook deletes
// those left untouched for `sessionCountsLifetimeDays`.
inline constexpr std::string_view sessionCountsSuffix = ".counts";
inline constexpr int sessionCountsLifetimeDays = 30;

// The values of "state": what the pet shows. The app takes any string and shows an unknown one
// as idle.
namespace State {
inline constexpr std::string_view idle = "idle";
inline constexpr std::string_view running = "running";
inline constexpr std::string_view waiting = "waiting";
inline constexpr std::string_view review = "review";
inline constexpr std::string_view failed = "failed";
// A turn ended after work was counted: the pet waves once, then idles.
inline constexpr std::string_view waving = "waving";
} // namespace State

// Keys of the state file, in the order the hook writes them. A key that does not apply is left
// out, never written as null, except "message".
namespace Key {
// String: one of State.
inline constexpr std::string_view state = "state";
// String or null: the bubble text, at most `messageLimit` characters on one line.
inline constexpr std::string_view message = "message";
// String: the short status above the bubble ("実行中", "入力が必要", …), for states that have one.
inline constexpr std::string_view label = "label";
// String: the one-line summary of the session's work, when a turn or the session ended.
inline constexpr std::string_view recap = "recap";
// Boolean, only ever true: the pet shows its thinking phrases, starting from the message.
inline constexpr std::string_view thinking = "thinking";
// String: the Claude Code session id.
inline constexpr std::string_view sessionId = "sessionId";
// String: the session's working folder.
inline constexpr std::string_view cwd = "cwd";
// Strings: TERM_PROGRAM and TERM_SESSION_ID of the session's terminal.
inline constexpr std::string_view termProgram = "termProgram";
inline constexpr std::string_view termSession = "termSession";
// String: "/dev/…" of the session's controlling terminal.
inline constexpr std::string_view tty = "tty";
// String: __CFBundleIdentifier, the bundle id of the terminal application (macOS).
inline constexpr std::string_view termBundleId = "termBundleId";
// WINDOWID, the X11 window of the terminal; readers must do without it.
inline constexpr std::string_view termWindowId = "termWindowId";
} // namespace Key

// Keys of a session record: every key of the state file (Key above), holding what the state file
// said after the session's last event, and these two.
namespace SessionRecordKey {
// Integer: when the hook wrote the record, in milliseconds since the Unix epoch.
inline constexpr std::string_view updatedAt = "updatedAt";
// Integer: the process id of the session's Claude Code process (the hook's nearest ancestor that
// is not a shell). Absent when the hook could not find it.
inline constexpr std::string_view pid = "pid";
} // namespace SessionRecordKey

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

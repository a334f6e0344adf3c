#pragma once

#include <boost/json/object.hpp>
#include <optional>
#include <string>
#include <string_view>

// The session record ~/.claude/mofli/session.json: per-session counts of tool calls that outlive
// one hook run, and the one-line recap built from them. The record is kept as a JSON object so
// that keys written by other versions survive every rewrite.
namespace Recap {

// The record in the file, or an empty object when the file is missing, unreadable, malformed or
// not an object.
boost::json::object loadSession();

// "session_id" set to `sessionId`, an empty "edited" array and the four counters at 0.
boost::json::object freshSession(std::string_view sessionId);

// Replaces the session file with `record`; whether that worked.
bool saveSession(const boost::json::object& record);

// Counts the tool call of a "PreToolUse" payload into the session file, starting a fresh record
// when the session id differs from the stored one. Serialised between concurrent hook runs by the
// session lock; a run that cannot get it within 100 ms leaves its call in a pending file of its
// own instead, which the next run holding the lock counts in, so that no call is lost.
void recordTool(const boost::json::object& payload);

// Takes back the call of a "PermissionDenied" payload, which Claude Code refused after its
// "PreToolUse" was counted: whatever that call added is removed again, and nothing else.
void withdrawTool(const boost::json::object& payload);

// "📝 2ファイル・🔧 5コマンド・…" for the stored record with the pending calls counted in, or
// nothing when that holds no counted work.
std::optional<std::string> buildRecap();

// Whether a shell command looks like a test run (a plain substring match, on purpose loose).
bool isTestCommand(std::optional<std::string_view> command);

// The first 12 lowercase hexadecimal digits of the SHA-1 digest of `text`.
std::string sha1hex12(std::string_view text);

} // namespace Recap

#pragma once

#include <boost/json/object.hpp>
#include <optional>
#include <string>
#include <string_view>

// The counts of tool calls that outlive one hook run, and the one-line recap built from them.
// Each Claude Code session keeps its own counts, so that sessions running side by side never reset
// each other's recap: those of the session that counted last in the session file
// ~/.claude/mofli/session.json, as older versions kept them, the others' in files of their own
// (~/.claude/mofli/sessions/<hash>.counts). Counts are kept as JSON objects so that keys written
// by other versions survive every rewrite.
namespace Recap {

// The counts of `sessionId`, or an empty object when their file is missing, unreadable, malformed
// or not an object.
boost::json::object loadSession(std::string_view sessionId);

// "session_id" set to `sessionId`, an empty "edited" array and the four counters at 0.
boost::json::object freshSession(std::string_view sessionId);

// Counts the tool call of a "PreToolUse" payload into its session's counts. Serialised between
// concurrent hook runs by the session lock; a run that cannot get it within 100 ms leaves its call
// in a pending file of its own instead, which the next run holding the lock counts in, so that no
// call is lost.
void recordTool(const boost::json::object& payload);

// Takes back the call of a "PermissionDenied" payload, which Claude Code refused after its
// "PreToolUse" was counted: whatever that call added is removed again, and nothing else.
void withdrawTool(const boost::json::object& payload);

// "📝 2ファイル・🔧 5コマンド・…" for the counts of `sessionId` with its pending calls counted
// in, or nothing when they hold no counted work.
std::optional<std::string> buildRecap(std::string_view sessionId);

// Deletes the counts of sessions that have not counted anything for a month.
void dropStaleCounts();

// Whether a shell command looks like a test run (a plain substring match, on purpose loose).
bool isTestCommand(std::optional<std::string_view> command);

// The first 12 lowercase hexadecimal digits of the SHA-1 digest of `text`.
std::string sha1hex12(std::string_view text);

} // namespace Recap

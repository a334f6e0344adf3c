#pragma once

#include <boost/json/object.hpp>
#include <boost/json/value.hpp>
#include <optional>
#include <set>
#include <string>
#include <string_view>

// The hook's event logic: which display state a Claude Code event means and what the pet's
// bubble says about it. Payload values of an unexpected JSON kind count as absent throughout.
namespace HookCore {

using Payload = boost::json::object;

// Whether the event is none of the pet's business, so that the hook leaves every file as it is:
// a "SubagentStop" with an empty "agent_type" ends one of Claude Code's own helpers (the two that
// summarise a conversation for compaction), not a subagent the user asked for.
bool ignoresEvent(std::string_view event, const Payload& payload);

// The display state of an event: "idle", "running", "waiting", "review" or "failed".
std::string deriveState(std::string_view event, const Payload& payload);
// The candidate states an event signals, before the priority picks one.
std::set<std::string> collectSignals(std::string_view event, const Payload& payload);
// The most urgent known state among `signals` ("waiting" before "failed", "running", "review",
// "idle"); "idle" when none is known.
std::string selectState(const std::set<std::string>& signals);
// "waving" for a "Stop" after counted work, else `baseState`.
std::string finalState(std::string_view event, std::string_view baseState, bool didWork);
std::string notificationSignal(const Payload& payload);
// Whether "tool_response" reports a failure.
bool toolFailed(const Payload& payload);
// The loose truth test of payload flags. `value` is nullptr when the key is missing; a present
// JSON null, array or object is true, a number is true unless zero.
bool isTruthy(const boost::json::value* value);

// The raw bubble text of an event.
std::optional<std::string> buildBody(std::string_view event, const Payload& payload);
std::optional<std::string> buildToolMessage(const Payload& payload);
// The trimmed, non-empty "description" of "tool_input".
std::optional<std::string> toolDescription(const Payload& payload);
bool isThinking(std::string_view event, const Payload& payload);
std::string notificationMessage(const Payload& payload);
// The bubble text of a turn that ended on an API failure ("StopFailure"), by its "error" kind.
std::string apiFailureMessage(const Payload& payload);
std::optional<std::string> statusLabel(std::string_view state);
// "$ program" or "$ program …": the program's file name only, never its arguments.
std::optional<std::string> maskCommand(std::optional<std::string_view> command);
std::optional<std::string> compactText(std::optional<std::string_view> text, int limit);

// Fills in the bubble text, label, recap and thinking flag; may turn a finished turn into
// "waving". A "PreToolUse" is first counted into the session's record and a "PermissionDenied"
// taken back from it; a "Stop", "StopFailure" or "SessionEnd" reads that record for the recap.
void assembleOutput(boost::json::object& out, std::string_view event, const Payload& payload,
                    const std::string& state);
// The payload's "cwd" wins even when empty (then no key at all); `pwd` only stands in when the
// payload has no string there.
void putWorkingFolder(boost::json::object& out, const Payload& payload,
                      std::optional<std::string_view> pwd);

} // namespace HookCore

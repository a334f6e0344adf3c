#include "HookCore.h"

#include "Json.h"
#include "Recap.h"
#include "StateFileContract.h"
#include "TextCompaction.h"

#include <algorithm>
#include <array>
#include <initializer_list>
#include <limits>
#include <utility>

namespace HookCore {
namespace {

namespace State = StateFileContract::State;

std::set<std::string> signalSet(std::initializer_list<std::string_view> states) {
    return {states.begin(), states.end()};
}

constexpr std::array<std::pair<std::string_view, int>, 5> statePriority = {{
    {State::waiting, 0},
    {State::failed, 1},
    {State::running, 2},
    {State::review, 3},
    {State::idle, 4},
}};

constexpr std::array<std::pair<std::string_view, std::string_view>, 4> levelState = {{
    {"danger", State::failed},
    {"warning", State::waiting},
    {"success", State::review},
    {"info", State::idle},
}};

constexpr std::array<std::pair<std::string_view, std::string_view>, 6> notificationTexts = {{
    {"permission_prompt", "承認おねがい！"},
    {"idle_prompt", "入力待ってるよ〜"},
    {"auth_success", "ログインできた！"},
    {"elicitation_dialog", "入力おねがい！"},
    {"elicitation_response", "入力おねがい！"},
    {"elicitation_complete", "入力おねがい！"},
}};

constexpr std::array<std::pair<std::string_view, std::string_view>, 4> stateLabels = {{
    {State::running, "実行中"},
    {State::waiting, "入力が必要"},
    {State::review, "準備完了"},
    {State::failed, "ブロック済み"},
}};

// What the pet says when a turn ends because the model could not be reached, by the kind of
// failure Claude Code reports.
constexpr std::array<std::pair<std::string_view, std::string_view>, 5> apiFailureTexts = {{
    {"rate_limit", "利用制限にかかった…"},
    {"overloaded", "サーバーが混んでるみたい…"},
    {"server_error", "サーバーが混んでるみたい…"},
    {"authentication_failed", "ログインが必要みたい…"},
    {"billing_error", "クレジットが足りないみたい…"},
}};
constexpr std::string_view apiFailureFallback = "APIエラーで止まっちゃった…";

constexpr std::string_view thinkingText = StateFileContract::thinkingSeed;
constexpr std::string_view failedText = "うまくいかなかった…";

template <typename Value, std::size_t N>
std::optional<Value> lookup(const std::array<std::pair<std::string_view, Value>, N>& table,
                            std::string_view key) {
    const auto found = std::find_if(table.begin(), table.end(),
                                    [key](const auto& entry) { return entry.first == key; });
    if (found == table.end()) {
        return std::nullopt;
    }
    return found->second;
}

const Payload& toolInput(const Payload& payload) {
    return Json::findObjectOrEmpty(payload, "tool_input");
}

// Trailing slashes do not count, and a path without a slash is its own last component.
std::string_view lastPathComponent(std::string_view path) {
    const std::size_t end = path.find_last_not_of('/');
    if (end == std::string_view::npos) {
        return path.empty() ? path : path.substr(0, 1);
    }
    path = path.substr(0, end + 1);
    const std::size_t slash = path.rfind('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

// When a background subagent finishes, Claude Code submits a prompt of its own: a markup document
// for the model, not words for the user's bubble.
bool isTaskNotification(std::string_view prompt) {
    return prompt.starts_with("<task-notification>");
}

// Compaction that Claude Code starts by itself happens inside a turn, which goes on afterwards;
// the user's /compact ends at the prompt.
bool isAutomaticCompaction(const Payload& payload) {
    return Json::findString(payload, "trigger") == "auto";
}

// A session that goes on (after compaction, or resumed) is not a new start to greet.
bool continuesSession(const Payload& payload) {
    const auto source = Json::findString(payload, "source");
    return source == "compact" || source == "resume";
}

std::optional<std::string> lastAssistantMessage(const Payload& payload) {
    const auto message = Json::findString(payload, "last_assistant_message");
    return message ? std::optional<std::string>(*message) : std::nullopt;
}

} // namespace

bool ignoresEvent(std::string_view event, const Payload& payload) {
    return event == "SubagentStop" && Json::findString(payload, "agent_type") == "";
}

std::string deriveState(std::string_view event, const Payload& payload) {
    if (event == "SessionStart" || event == "Stop" || event == "SessionEnd") {
        return std::string(State::idle);
    }
    return selectState(collectSignals(event, payload));
}

std::set<std::string> collectSignals(std::string_view event, const Payload& payload) {
    if (event == "UserPromptSubmit") {
        return signalSet({State::running});
    }
    if (event == "PreToolUse") {
        const auto tool = Json::findString(payload, "tool_name");
        if (tool == "WebFetch" || tool == "WebSearch") {
            return signalSet({State::running, State::waiting});
        }
        return signalSet({State::running});
    }
    if (event == "PostToolUse") {
        if (toolFailed(payload)) {
            return signalSet({State::review, State::failed});
        }
        return signalSet({State::review});
    }
    if (event == "PostToolUseFailure") {
        return signalSet({State::failed});
    }
    if (event == "Notification") {
        return {notificationSignal(payload)};
    }
    if (event == "PermissionRequest") {
        return signalSet({State::waiting});
    }
    if (event == "SubagentStop") {
        return signalSet({State::review});
    }
    if (event == "StopFailure" || event == "PermissionDenied") {
        return signalSet({State::failed});
    }
    if (event == "PreCompact" || (event == "PostCompact" && isAutomaticCompaction(payload))) {
        return signalSet({State::running});
    }
    return {};
}

std::string selectState(const std::set<std::string>& signals) {
    std::string_view best = State::idle;
    int bestPriority = std::numeric_limits<int>::max();
    for (const std::string& signal : signals) {
        const std::optional<int> priority = lookup(statePriority, signal);
        if (priority && *priority < bestPriority) {
            best = signal;
            bestPriority = *priority;
        }
    }
    return std::string(best);
}

std::string finalState(std::string_view event, std::string_view baseState, bool didWork) {
    return std::string(event == "Stop" && didWork ? State::waving : baseState);
}

std::string notificationSignal(const Payload& payload) {
    if (isTruthy(Json::find(payload, "isLoading"))) {
        return std::string(State::running);
    }
    const std::string_view level = Json::findString(payload, "level").value_or("");
    return std::string(lookup(levelState, level).value_or(State::waiting));
}

bool toolFailed(const Payload& payload) {
    const Payload* response = Json::findObject(payload, "tool_response");
    if (response == nullptr) {
        return false;
    }
    if (const boost::json::value* success = Json::find(*response, "success");
        success != nullptr && success->is_bool() && !success->get_bool()) {
        return true;
    }
    return isTruthy(Json::find(*response, "is_error")) ||
           isTruthy(Json::find(*response, "isError")) || isTruthy(Json::find(*response, "error"));
}

bool isTruthy(const boost::json::value* value) {
    if (value == nullptr) {
        return false;
    }
    switch (value->kind()) {
    case boost::json::kind::bool_:
        return value->get_bool();
    case boost::json::kind::string:
        return !value->get_string().empty();
    case boost::json::kind::int64:
        return value->get_int64() != 0;
    case boost::json::kind::uint64:
        return value->get_uint64() != 0;
    case boost::json::kind::double_:
        return value->get_double() != 0.0;
    case boost::json::kind::null:
    case boost::json::kind::array:
    case boost::json::kind::object:
        return true;
    }
    return true;
}

std::optional<std::string> buildBody(std::string_view event, const Payload& payload) {
    if (event == "UserPromptSubmit") {
        std::string prompt =
            TextCompaction::trimWhitespace(Json::findString(payload, "prompt").value_or(""));
        return prompt.empty() || isTaskNotification(prompt) ? std::string(thinkingText) : prompt;
    }
    if (event == "PreToolUse") {
        return buildToolMessage(payload);
    }
    if (event == "PostToolUse") {
        if (toolFailed(payload)) {
            return std::string(failedText);
        }
        return toolDescription(payload).value_or(std::string(thinkingText));
    }
    if (event == "PostToolUseFailure") {
        return std::string(isTruthy(Json::find(payload, "is_interrupt")) ? "中断したよ"
                                                                         : failedText);
    }
    if (event == "Notification") {
        return notificationMessage(payload);
    }
    if (event == "PermissionRequest") {
        return buildToolMessage(payload);
    }
    if (event == "Stop") {
        return lastAssistantMessage(payload);
    }
    if (event == "SubagentStop") {
        return lastAssistantMessage(payload).value_or("完了");
    }
    if (event == "SessionStart") {
        return continuesSession(payload) ? std::nullopt : std::optional<std::string>("おかえり〜");
    }
    if (event == "SessionEnd") {
        return "おつかれ〜";
    }
    if (event == "StopFailure") {
        return apiFailureMessage(payload);
    }
    if (event == "PermissionDenied") {
        return buildToolMessage(payload);
    }
    if (event == "PreCompact") {
        return "会話をまとめてる…";
    }
    if (event == "PostCompact") {
        return std::string(isAutomaticCompaction(payload) ? thinkingText : "会話をまとめたよ");
    }
    return std::nullopt;
}

std::string apiFailureMessage(const Payload& payload) {
    return std::string(lookup(apiFailureTexts, Json::findString(payload, "error").value_or(""))
                           .value_or(apiFailureFallback));
}

std::optional<std::string> buildToolMessage(const Payload& payload) {
    if (std::optional<std::string> description = toolDescription(payload)) {
        return description;
    }
    const std::string name(Json::findString(payload, "tool_name").value_or(""));
    const Payload& input = toolInput(payload);
    if (name == "Bash") {
        return maskCommand(Json::findString(input, "command"));
    }
    if (name == "Read" || name == "Edit" || name == "Write") {
        return name + " " +
               std::string(lastPathComponent(Json::findString(input, "file_path").value_or("")));
    }
    if (name == "Grep" || name == "Glob") {
        return name + " " + std::string(Json::findString(input, "pattern").value_or(""));
    }
    if (name == "WebFetch" || name == "WebSearch") {
        return name + "…";
    }
    if (name == "Agent") {
        return "Agent: " + std::string(Json::findString(input, "description").value_or(""));
    }
    if (name.empty()) {
        return "なんかしてる";
    }
    return name;
}

std::optional<std::string> toolDescription(const Payload& payload) {
    const auto description = Json::findString(toolInput(payload), "description");
    std::string trimmed = TextCompaction::trimWhitespace(description.value_or(""));
    if (trimmed.empty()) {
        return std::nullopt;
    }
    return trimmed;
}

bool isThinking(std::string_view event, const Payload& payload) {
    if (event == "PostCompact") {
        return isAutomaticCompaction(payload);
    }
    return event == "PostToolUse" && !toolFailed(payload) && !toolDescription(payload);
}

std::string notificationMessage(const Payload& payload) {
    if (const auto type = Json::findString(payload, "notification_type")) {
        if (const auto text = lookup(notificationTexts, *type)) {
            return std::string(*text);
        }
    }
    return std::string(Json::findString(payload, "message").value_or("呼ばれてる"));
}

std::optional<std::string> statusLabel(std::string_view state) {
    const auto label = lookup(stateLabels, state);
    return label ? std::optional<std::string>(*label) : std::nullopt;
}

std::optional<std::string> maskCommand(std::optional<std::string_view> command) {
    const std::vector<std::string> pieces = TextCompaction::splitOnWhitespace(command.value_or(""));
    if (pieces.empty()) {
        return std::nullopt;
    }
    std::string masked = "$ " + std::string(lastPathComponent(pieces.front()));
    if (pieces.size() > 1) {
        masked += " …";
    }
    return masked;
}

std::optional<std::string> compactText(std::optional<std::string_view> text, int limit) {
    return TextCompaction::compact(text, limit);
}

void assembleOutput(boost::json::object& out, std::string_view event, const Payload& payload,
                    const std::string& state) {
    namespace Key = StateFileContract::Key;
    if (event == "PreToolUse") {
        Recap::recordTool(payload);
    } else if (event == "PermissionDenied") {
        Recap::withdrawTool(payload);
    }
    const std::optional<std::string> body = buildBody(event, payload);
    const bool turnEnded = event == "Stop" || event == "StopFailure" || event == "SessionEnd";
    const std::optional<std::string> recap =
        turnEnded ? Recap::buildRecap(Json::findString(payload, "session_id").value_or(""))
                  : std::nullopt;
    const std::string finalState = HookCore::finalState(event, state, recap.has_value());
    out[Key::state] = finalState;
    if (const std::optional<std::string> message =
            compactText(body, StateFileContract::messageLimit)) {
        out[Key::message] = *message;
    }
    if (const std::optional<std::string> label = statusLabel(finalState)) {
        out[Key::label] = *label;
    }
    if (recap) {
        out[Key::recap] = *recap;
    }
    if (isThinking(event, payload)) {
        out[Key::thinking] = true;
    }
}

void putWorkingFolder(boost::json::object& out, const Payload& payload,
                      std::optional<std::string_view> pwd) {
    std::optional<std::string_view> candidate = Json::findString(payload, "cwd");
    if (!candidate) {
        candidate = pwd;
    }
    if (candidate && !candidate->empty()) {
        out[StateFileContract::Key::cwd] = *candidate;
    }
}

} // namespace HookCore

#include "Recap.h"

#include "Files.h"
#include "HookPaths.h"
#include "Json.h"
#include "SessionLock.h"
#include "Sha1.h"

#include <algorithm>
#include <array>
#include <boost/json/array.hpp>
#include <cstdint>
#include <limits>

namespace Recap {
namespace {

// Far beyond any real wait (a holder keeps the lock for under a millisecond), yet well inside
// the few seconds Claude Code allows a hook.
constexpr std::chrono::milliseconds lockWait{2000};

constexpr std::array<std::string_view, 10> testHints = {
    "test",  "pytest",  "jest",       "vitest",     "spec",
    "rspec", "go test", "cargo test", "swift test", "phpunit"};

constexpr std::array<std::string_view, 4> searchTools = {"WebSearch", "WebFetch", "Grep", "Glob"};

std::int64_t counter(const boost::json::object& record, std::string_view key) {
    return Json::findInteger(record, key).value_or(0);
}

void increment(boost::json::object& record, std::string_view key) {
    const std::int64_t value = counter(record, key);
    record[key] = value == std::numeric_limits<std::int64_t>::max() ? value : value + 1;
}

// "edited" counts only as an array of strings; anything else reads as empty.
boost::json::array editedHashes(const boost::json::object& record) {
    const boost::json::value* edited = Json::find(record, "edited");
    if (edited == nullptr || !edited->is_array()) {
        return {};
    }
    const boost::json::array& hashes = edited->get_array();
    const bool allStrings = std::all_of(hashes.begin(), hashes.end(),
                                        [](const boost::json::value& v) { return v.is_string(); });
    return allStrings ? hashes : boost::json::array{};
}

void recordEdit(boost::json::object& record, const boost::json::object& input) {
    const std::optional<std::string_view> path = Json::findString(input, "file_path");
    if (!path || path->empty()) {
        return;
    }
    boost::json::array hashes = editedHashes(record);
    const boost::json::value hash(sha1hex12(*path));
    if (std::find(hashes.begin(), hashes.end(), hash) == hashes.end()) {
        hashes.push_back(hash);
        record["edited"] = std::move(hashes);
    }
}

void count(boost::json::object& record, std::string_view toolName,
           const boost::json::object& input) {
    if (toolName == "Edit" || toolName == "Write" || toolName == "MultiEdit") {
        recordEdit(record, input);
    } else if (toolName == "Bash") {
        increment(record, "bash");
        if (isTestCommand(Json::findString(input, "command"))) {
            increment(record, "tests");
        }
    } else if (std::find(searchTools.begin(), searchTools.end(), toolName) != searchTools.end()) {
        increment(record, "searches");
    } else if (toolName == "Agent") {
        increment(record, "agents");
    }
}

} // namespace

boost::json::object loadSession() {
    const std::optional<std::string> contents = Files::readFile(HookPaths::sessionFile());
    return contents ? Json::parseObject(*contents) : boost::json::object{};
}

boost::json::object freshSession(std::string_view sessionId) {
    return boost::json::object{{"session_id", sessionId},
                               {"edited", boost::json::array{}},
                               {"bash", 0},
                               {"tests", 0},
                               {"searches", 0},
                               {"agents", 0}};
}

void saveSession(const boost::json::object& record) {
    Files::replaceAtomically(HookPaths::sessionFile(), Json::serialize(record));
}

void recordTool(const boost::json::object& payload) {
    const std::string_view sessionId = Json::findString(payload, "session_id").value_or("");
    Files::createDirectories(HookPaths::mofliDir());
    const SessionLock lock(HookPaths::sessionLockFile(), lockWait);

    boost::json::object record = loadSession();
    if (Json::findString(record, "session_id") != sessionId) {
        record = freshSession(sessionId);
    }
    count(record, Json::findString(payload, "tool_name").value_or(""),
          Json::findObjectOrEmpty(payload, "tool_input"));
    saveSession(record);
}

std::optional<std::string> buildRecap() {
    const boost::json::object record = loadSession();
    std::string recap;
    const auto addPart = [&recap](std::int64_t n, std::string_view prefix,
                                  std::string_view suffix) {
        if (n < 1) {
            return;
        }
        if (!recap.empty()) {
            recap += "\u30FB";
        }
        recap.append(prefix).append(std::to_string(n)).append(suffix);
    };
    addPart(static_cast<std::int64_t>(editedHashes(record).size()), "\U0001F4DD ", "ファイル");
    addPart(counter(record, "bash"), "\U0001F527 ", "コマンド");
    addPart(counter(record, "tests"), "\u2705 テスト", "回");
    addPart(counter(record, "searches"), "\U0001F50D ", "回調べた");
    addPart(counter(record, "agents"), "\U0001F916 サブ", "体");
    if (recap.empty()) {
        return std::nullopt;
    }
    return recap;
}

bool isTestCommand(std::optional<std::string_view> command) {
    std::string lowered(command.value_or(""));
    std::transform(lowered.begin(), lowered.end(), lowered.begin(), [](unsigned char c) {
        return static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    });
    return std::any_of(testHints.begin(), testHints.end(), [&lowered](std::string_view hint) {
        return lowered.find(hint) != std::string::npos;
    });
}

std::string sha1hex12(std::string_view text) {
    return Sha1::hex(text).substr(0, 12);
}

} // namespace Recap

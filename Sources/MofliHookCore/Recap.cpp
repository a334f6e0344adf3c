#include "Recap.h"

#include "Files.h"
#include "HookPaths.h"
#include "Json.h"
#include "SessionLock.h"
#include "Sha1.h"
#include "StateFileContract.h"

#include <algorithm>
#include <array>
#include <boost/json/array.hpp>
#include <cstdint>
#include <cstdio>
#include <dirent.h>
#include <limits>
#include <map>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>
#include <vector>

namespace Recap {
namespace {

// A holder keeps the lock for a millisecond or so, and even a hundred runs queueing for it get
// their turn within this bound most of the time. A stuck holder must never cost a tool call a
// delay anyone notices: past the bound the run leaves its call for the next holder to count.
constexpr std::chrono::milliseconds lockWait{100};

constexpr std::array<std::string_view, 10> testHints = {
    "test",  "pytest",  "jest",       "vitest",     "spec",
    "rspec", "go test", "cargo test", "swift test", "phpunit"};

constexpr std::array<std::string_view, 4> searchTools = {"WebSearch", "WebFetch", "Grep", "Glob"};

// What the latest counted calls of auto mode added, by tool use id, so that a call that auto mode
// refuses after its "PreToolUse" can be taken back exactly. The refusal follows at once; calls
// made side by side are few. No other mode refuses a call after counting it, so elsewhere the
// counts stay as small as they were.
constexpr std::string_view countedCallsKey = "counted_calls";
constexpr std::size_t countedCallsKept = 16;

bool isTrue(const boost::json::object& object, std::string_view key) {
    const boost::json::value* value = Json::find(object, key);
    return value != nullptr && value->is_bool() && value->get_bool();
}

std::int64_t counter(const boost::json::object& record, std::string_view key) {
    return Json::findInteger(record, key).value_or(0);
}

void increment(boost::json::object& record, std::string_view key) {
    const std::int64_t value = counter(record, key);
    record[key] = value == std::numeric_limits<std::int64_t>::max() ? value : value + 1;
}

void decrement(boost::json::object& record, std::string_view key) {
    if (const std::int64_t value = counter(record, key); value > 0) {
        record[key] = value - 1;
    }
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

// Whether the file was new to the record.
bool recordEdit(boost::json::object& record, std::string_view editedHash) {
    boost::json::array hashes = editedHashes(record);
    const boost::json::value hash(editedHash);
    if (std::find(hashes.begin(), hashes.end(), hash) != hashes.end()) {
        return false;
    }
    hashes.push_back(hash);
    record["edited"] = std::move(hashes);
    return true;
}

void forgetEdit(boost::json::object& record, std::string_view editedHash) {
    boost::json::array hashes = editedHashes(record);
    const auto found = std::find(hashes.begin(), hashes.end(), boost::json::value(editedHash));
    if (found != hashes.end()) {
        hashes.erase(found);
        record["edited"] = std::move(hashes);
    }
}

bool isSearchTool(std::string_view toolName) {
    return std::find(searchTools.begin(), searchTools.end(), toolName) != searchTools.end();
}

bool isEditTool(std::string_view toolName) {
    return toolName == "Edit" || toolName == "Write" || toolName == "MultiEdit";
}

// What one tool call adds to the record. It holds no path and no command, so that it can wait in
// a file of its own without telling more than the record does.
struct ToolCall {
    std::string sessionId;
    std::string toolName;
    std::string toolUseId;
    std::optional<std::string> editedHash;
    bool testRun = false;
    // Claude Code refused the call after counting it: take back what it added.
    bool withdrawn = false;
};

ToolCall toolCall(const boost::json::object& payload) {
    ToolCall call;
    call.sessionId = Json::findString(payload, "session_id").value_or("");
    call.toolName = Json::findString(payload, "tool_name").value_or("");
    if (Json::findString(payload, "permission_mode") == "auto") {
        call.toolUseId = Json::findString(payload, "tool_use_id").value_or("");
    }
    const boost::json::object& input = Json::findObjectOrEmpty(payload, "tool_input");
    if (isEditTool(call.toolName)) {
        if (const auto path = Json::findString(input, "file_path"); path && !path->empty()) {
            call.editedHash = sha1hex12(*path);
        }
    } else if (call.toolName == "Bash") {
        call.testRun = isTestCommand(Json::findString(input, "command"));
    }
    return call;
}

boost::json::array countedCalls(const boost::json::object& record) {
    const boost::json::value* calls = Json::find(record, countedCallsKey);
    return calls != nullptr && calls->is_array() ? calls->get_array() : boost::json::array{};
}

boost::json::array::iterator findCall(boost::json::array& calls, std::string_view toolUseId) {
    return std::find_if(calls.begin(), calls.end(), [toolUseId](const boost::json::value& value) {
        return value.is_object() &&
               Json::findString(value.get_object(), "tool_use_id") == toolUseId;
    });
}

void forgetCall(boost::json::array& calls, std::string_view toolUseId) {
    if (const auto found = findCall(calls, toolUseId); found != calls.end()) {
        calls.erase(found);
    }
}

void rememberCall(boost::json::object& record, const ToolCall& call, bool newEdit) {
    boost::json::object added{{"tool_use_id", call.toolUseId}, {"tool_name", call.toolName}};
    if (newEdit) {
        added["edited"] = *call.editedHash;
    }
    if (call.testRun) {
        added["test"] = true;
    }
    boost::json::array calls = countedCalls(record);
    forgetCall(calls, call.toolUseId);
    calls.push_back(std::move(added));
    if (calls.size() > countedCallsKept) {
        calls.erase(calls.begin(), calls.end() - countedCallsKept);
    }
    record[countedCallsKey] = std::move(calls);
}

// Takes back what the call with `toolUseId` added, when the record still remembers it.
void withdraw(boost::json::object& record, std::string_view toolUseId) {
    boost::json::array calls = countedCalls(record);
    const auto found = findCall(calls, toolUseId);
    if (found == calls.end()) {
        return;
    }
    const boost::json::object added = found->get_object();
    calls.erase(found);
    record[countedCallsKey] = std::move(calls);
    const std::string_view toolName = Json::findString(added, "tool_name").value_or("");
    if (const auto hash = Json::findString(added, "edited")) {
        forgetEdit(record, *hash);
    } else if (toolName == "Bash") {
        decrement(record, "bash");
        if (isTrue(added, "test")) {
            decrement(record, "tests");
        }
    } else if (isSearchTool(toolName)) {
        decrement(record, "searches");
    } else if (toolName == "Agent") {
        decrement(record, "agents");
    }
}

// A fresh record when the call belongs to another session than the stored one.
void count(boost::json::object& record, const ToolCall& call) {
    if (Json::findString(record, "session_id") != call.sessionId) {
        record = freshSession(call.sessionId);
    }
    if (call.withdrawn) {
        if (!call.toolUseId.empty()) {
            withdraw(record, call.toolUseId);
        }
        return;
    }
    bool counted = true;
    bool newEdit = false;
    if (isEditTool(call.toolName)) {
        newEdit = call.editedHash && recordEdit(record, *call.editedHash);
        counted = newEdit;
    } else if (call.toolName == "Bash") {
        increment(record, "bash");
        if (call.testRun) {
            increment(record, "tests");
        }
    } else if (isSearchTool(call.toolName)) {
        increment(record, "searches");
    } else if (call.toolName == "Agent") {
        increment(record, "agents");
    } else {
        counted = false;
    }
    if (counted && !call.toolUseId.empty()) {
        rememberCall(record, call, newEdit);
    }
}

std::string pendingText(const ToolCall& call) {
    boost::json::object pending{{"session_id", call.sessionId}, {"tool_name", call.toolName}};
    if (!call.toolUseId.empty()) {
        pending["tool_use_id"] = call.toolUseId;
    }
    if (call.editedHash) {
        pending["edited"] = *call.editedHash;
    }
    if (call.testRun) {
        pending["test"] = true;
    }
    if (call.withdrawn) {
        pending["withdrawn"] = true;
    }
    return Json::serialize(pending);
}

std::optional<ToolCall> parsePending(std::string_view text) {
    const boost::json::object pending = Json::parseObject(text);
    const auto sessionId = Json::findString(pending, "session_id");
    const auto toolName = Json::findString(pending, "tool_name");
    if (!sessionId || !toolName) {
        return std::nullopt;
    }
    ToolCall call;
    call.sessionId = *sessionId;
    call.toolName = *toolName;
    call.toolUseId = Json::findString(pending, "tool_use_id").value_or("");
    if (const auto hash = Json::findString(pending, "edited")) {
        call.editedHash = std::string(*hash);
    }
    call.testRun = isTrue(pending, "test");
    call.withdrawn = isTrue(pending, "withdrawn");
    return call;
}

// Named by the clock, in nanoseconds of fixed width, so that sorting the names orders the calls;
// the process id keeps runs of the same moment apart.
void leavePending(const ToolCall& call) {
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%020lld.%d",
                  static_cast<long long>(now.tv_sec) * 1'000'000'000LL + now.tv_nsec,
                  static_cast<int>(::getpid()));
    Files::replaceAtomically(HookPaths::mofliDir() + "/" +
                                 std::string(StateFileContract::pendingCallFilePrefix) + stamp,
                             pendingText(call));
}

// The pending files in the order of their calls. A temporary file on its way to such a name is
// not one yet.
std::vector<std::string> pendingFiles() {
    std::vector<std::string> paths;
    const std::string folder = HookPaths::mofliDir();
    DIR* directory = ::opendir(folder.c_str());
    if (directory == nullptr) {
        return paths;
    }
    while (const dirent* entry = ::readdir(directory)) {
        const std::string_view name = entry->d_name;
        if (name.starts_with(StateFileContract::pendingCallFilePrefix) &&
            name.find(".tmp.") == std::string_view::npos) {
            paths.push_back(folder + "/" + std::string(name));
        }
    }
    ::closedir(directory);
    std::sort(paths.begin(), paths.end());
    return paths;
}

// A pending call and the file it waits in.
struct PendingCall {
    std::string path;
    std::optional<ToolCall> call;
};

std::vector<PendingCall> pendingCalls() {
    std::vector<PendingCall> calls;
    for (std::string& path : pendingFiles()) {
        const std::optional<std::string> text = Files::readFile(path);
        calls.push_back({std::move(path), text ? parsePending(*text) : std::nullopt});
    }
    return calls;
}

// Where a session's counts live: those of the session that counted last in the session file,
// where older versions kept them and older readers look, every other session's in a file of its
// own under sessions/. One session alone thus writes one file per call, and a session that takes
// the session file over first moves the previous holder's counts out to their own file.
struct SessionFile {
    std::optional<std::string> text;
    boost::json::object counts;

    static SessionFile read() {
        std::optional<std::string> text = Files::readFile(HookPaths::sessionFile());
        boost::json::object counts = Json::parseObject(text.value_or(""));
        return {std::move(text), std::move(counts)};
    }
    std::optional<std::string_view> holder() const {
        return Json::findString(counts, "session_id");
    }
};

// One session's counts as they are being updated, with the text they were read from: counts that
// come out the same are not written again (many calls, a Read say, count nothing).
struct LoadedCounts {
    std::optional<std::string> text;
    boost::json::object counts;
    bool inSessionFile = false;
};

LoadedCounts loadCounts(std::string_view sessionId, const SessionFile& sessionFile) {
    if (sessionFile.holder() == sessionId) {
        return {sessionFile.text, sessionFile.counts, true};
    }
    std::optional<std::string> text = Files::readFile(HookPaths::sessionCountsFile(sessionId));
    boost::json::object counts = Json::parseObject(text.value_or(""));
    return {std::move(text), std::move(counts), false};
}

// Writes `contents` unless the file already holds exactly that; whether the file holds it now.
bool replaceIfChanged(const std::string& path, const std::string& contents,
                      const std::optional<std::string>& current) {
    return current == contents || Files::replaceAtomically(path, contents);
}

// Counts `call` and the pending calls of every session into their sessions' counts, under the
// lock.
void update(const ToolCall& call) {
    Files::createDirectories(HookPaths::sessionsDir());
    const SessionLock lock(HookPaths::sessionLockFile(), lockWait);
    if (!lock.held()) {
        leavePending(call);
        return;
    }
    const SessionFile sessionFile = SessionFile::read();
    std::map<std::string, LoadedCounts, std::less<>> sessions;
    std::map<std::string, std::vector<std::string>, std::less<>> countedFiles;
    const auto countsOf = [&](const std::string& sessionId) -> LoadedCounts& {
        auto found = sessions.find(sessionId);
        if (found == sessions.end()) {
            found = sessions.emplace(sessionId, loadCounts(sessionId, sessionFile)).first;
        }
        return found->second;
    };
    for (PendingCall& pending : pendingCalls()) {
        // An unreadable file goes with the current call's counts.
        const std::string& sessionId = pending.call ? pending.call->sessionId : call.sessionId;
        if (pending.call) {
            count(countsOf(sessionId).counts, *pending.call);
        }
        countedFiles[sessionId].push_back(std::move(pending.path));
    }
    count(countsOf(call.sessionId).counts, call);
    if (const auto holder = sessionFile.holder(); holder && *holder != call.sessionId) {
        countsOf(std::string(*holder));
    }
    // Pending files go only once their counts hold them: a run that ends in between counts them
    // twice rather than not at all, and counts that cannot be saved leave them for the next run.
    const auto dropCounted = [&countedFiles](const std::string& sessionId) {
        for (const std::string& path : countedFiles[sessionId]) {
            ::unlink(path.c_str());
        }
    };
    bool holderMovedOut = true;
    for (const auto& [sessionId, loaded] : sessions) {
        if (sessionId == call.sessionId) {
            continue;
        }
        const std::string path = HookPaths::sessionCountsFile(sessionId);
        const std::string text = Json::serialize(loaded.counts);
        if (loaded.inSessionFile ? Files::replaceAtomically(path, text)
                                 : replaceIfChanged(path, text, loaded.text)) {
            dropCounted(sessionId);
        } else if (loaded.inSessionFile) {
            holderMovedOut = false;
        }
    }
    // Counts that could not move out keep the session file; the current ones then go to their own.
    const LoadedCounts& current = sessions.at(call.sessionId);
    const std::string text = Json::serialize(current.counts);
    if (holderMovedOut
            ? replaceIfChanged(HookPaths::sessionFile(), text, sessionFile.text)
            : replaceIfChanged(HookPaths::sessionCountsFile(call.sessionId), text, current.text)) {
        dropCounted(call.sessionId);
    }
}

} // namespace

boost::json::object loadSession(std::string_view sessionId) {
    return loadCounts(sessionId, SessionFile::read()).counts;
}

boost::json::object freshSession(std::string_view sessionId) {
    return boost::json::object{{"session_id", sessionId},
                               {"edited", boost::json::array{}},
                               {"bash", 0},
                               {"tests", 0},
                               {"searches", 0},
                               {"agents", 0}};
}

void recordTool(const boost::json::object& payload) {
    update(toolCall(payload));
}

void withdrawTool(const boost::json::object& payload) {
    ToolCall call;
    call.sessionId = Json::findString(payload, "session_id").value_or("");
    call.toolUseId = Json::findString(payload, "tool_use_id").value_or("");
    call.withdrawn = true;
    update(call);
}

std::optional<std::string> buildRecap(std::string_view sessionId) {
    boost::json::object record = loadSession(sessionId);
    for (const PendingCall& pending : pendingCalls()) {
        if (pending.call && pending.call->sessionId == sessionId) {
            count(record, *pending.call);
        }
    }
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

void dropStaleCounts() {
    const std::string folder = HookPaths::sessionsDir();
    DIR* directory = ::opendir(folder.c_str());
    if (directory == nullptr) {
        return;
    }
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    const time_t oldest = now.tv_sec - time_t{StateFileContract::sessionCountsLifetimeDays} * 86400;
    while (const dirent* entry = ::readdir(directory)) {
        const std::string path = folder + "/" + entry->d_name;
        struct stat info {};
        if (std::string_view(entry->d_name).ends_with(StateFileContract::sessionCountsSuffix) &&
            ::lstat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && info.st_mtime < oldest) {
            ::unlink(path.c_str());
        }
    }
    ::closedir(directory);
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

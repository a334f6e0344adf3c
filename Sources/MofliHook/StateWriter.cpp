#include "StateWriter.h"

#include "Files.h"
#include "HookPaths.h"
#include "Json.h"
#include "StateFileContract.h"
#include "TextCompaction.h"

#include <time.h>
#include <unistd.h>
#include <vector>

namespace StateWriter {
namespace {

// The bubble texts are far shorter. Longer values come from the environment or the payload (a
// working folder, an id) and are left out rather than cut, since a cut path or id would name
// something else. With the few keys there are, the file stays far below what the app reads.
constexpr std::size_t valueByteLimit = 16 * 1024;

} // namespace

std::string serializeState(const boost::json::object& out) {
    boost::json::object checked = out;
    std::vector<std::string> tooLong;
    for (auto& [key, value] : checked) {
        if (!value.is_string()) {
            continue;
        }
        boost::json::string& text = value.get_string();
        if (text.size() > valueByteLimit) {
            tooLong.emplace_back(key);
        } else {
            text = TextCompaction::repairUtf8(text);
        }
    }
    for (const std::string& key : tooLong) {
        if (key == StateFileContract::Key::message) {
            checked[key] = nullptr;
        } else {
            checked.erase(key);
        }
    }
    return Json::serialize(checked);
}

void writeState(const boost::json::object& out) {
    Files::replaceAtomically(HookPaths::stateFile(), serializeState(out));
}

void writeSessionRecord(std::string_view sessionId, boost::json::object out,
                        std::optional<pid_t> process) {
    namespace Key = StateFileContract::SessionRecordKey;
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    out[Key::updatedAt] = std::int64_t{now.tv_sec} * 1000 + now.tv_nsec / 1'000'000;
    if (process) {
        out[Key::pid] = std::int64_t{*process};
    }
    Files::replaceAtomically(HookPaths::sessionRecordFile(sessionId), serializeState(out));
}

void removeSessionRecord(std::string_view sessionId) {
    ::unlink(HookPaths::sessionRecordFile(sessionId).c_str());
}

} // namespace StateWriter

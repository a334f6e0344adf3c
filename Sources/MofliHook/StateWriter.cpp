#include "StateWriter.h"

#include "Files.h"
#include "HookPaths.h"
#include "Json.h"
#include "StateFileContract.h"
#include "TextCompaction.h"

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

} // namespace StateWriter

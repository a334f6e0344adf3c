// The hook's way from an event to the state file, fed with arbitrary bytes: the event name, the
// working folder from the environment, the session record already on disk and the payload all
// come from the input, which holds them one after the other (the record is the counts of the
// payload's session):
//
//   EVENT '\n' ENVIRONMENT '\n' SESSION-RECORD '\x1e' PAYLOAD
//
// ENVIRONMENT stands for the working folder and the terminal program, as the environment would
// give them: any bytes. Missing parts are empty. Besides crashes and sanitizer reports, a state
// file that is not a small JSON object in valid UTF-8, a bubble text over its byte limit and a
// session record that the next run could not read are faults.
#include "Files.h"
#include "HookCore.h"
#include "HookPaths.h"
#include "Json.h"
#include "JsonParser.h"
#include "StateFileContract.h"
#include "StateWriter.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <unistd.h>

namespace {

namespace Key = StateFileContract::Key;

void fail(const char* what, std::string_view text) {
    std::fprintf(stderr, "%s: %.*s\n", what,
                 static_cast<int>(std::min<std::size_t>(text.size(), 2000)), text.data());
    std::abort();
}

std::string_view takeUntil(std::string_view& input, char separator) {
    const std::size_t end = input.find(separator);
    const std::string_view part = input.substr(0, end);
    input.remove_prefix(end == std::string_view::npos ? input.size() : end + 1);
    return part;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // Every run writes the state and session files of a home of its own.
    std::string home = (std::filesystem::temp_directory_path() / "mofli-fuzz-XXXXXX").string();
    if (::mkdtemp(home.data()) == nullptr) {
        std::abort();
    }
    ::setenv("HOME", home.c_str(), 1);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::string event(takeUntil(input, '\n'));
    const std::string_view environment = takeUntil(input, '\n');
    const std::string_view record = takeUntil(input, '\x1e');

    std::filesystem::remove_all(HookPaths::mofliDir());
    const HookCore::Payload payload = Json::parseObject(input);
    const std::string counts =
        HookPaths::sessionCountsFile(Json::findString(payload, "session_id").value_or(""));
    if (!record.empty()) {
        Files::replaceAtomically(counts, record);
    }
    const std::string state = HookCore::deriveState(event, payload);
    boost::json::object out{{Key::state, state}, {Key::message, nullptr}};
    HookCore::assembleOutput(out, event, payload, state);
    if (!environment.empty()) {
        out[Key::termProgram] = environment;
    }
    HookCore::putWorkingFolder(out, payload,
                               environment.empty() ? std::nullopt
                                                   : std::optional<std::string_view>(environment));
    const std::string written = StateWriter::serializeState(out);

    const std::optional<boost::json::value> reread = JsonParser::parse(written, Json::maxDepth);
    if (!reread || !reread->is_object() || written.size() > 256 * 1024) {
        fail("state file that the app cannot read", written);
    }
    if (const auto message = Json::findString(reread->get_object(), Key::message);
        message && message->size() > StateFileContract::textByteLimit) {
        fail("message over its byte limit", *message);
    }
    if (const std::optional<std::string> session = Files::readFile(counts);
        session && (event == "PreToolUse" || event == "PermissionDenied")) {
        const std::optional<boost::json::value> parsed =
            JsonParser::parse(*session, Json::maxDepth);
        if (!parsed || !parsed->is_object()) {
            fail("session record that the next run cannot read", *session);
        }
    }
    return 0;
}

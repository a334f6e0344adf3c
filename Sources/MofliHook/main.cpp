// MofliHook: Claude Code runs it once per hook event with the event name as argument and the
// event JSON on stdin. It reduces the event to what the pet shows and replaces the state file.
// Whatever happens it prints nothing and exits 0: output or a failure status would reach Claude
// Code itself (stdout becomes model context, a non-zero status shows as a hook error).
#include "ControllingTerminal.h"
#include "HookCore.h"
#include "Json.h"
#include "PayloadReader.h"
#include "Recap.h"
#include "SessionProcess.h"
#include "StateFileContract.h"
#include "StateWriter.h"

#include <csignal>
#include <cstdlib>
#include <unistd.h>

namespace {

namespace Key = StateFileContract::Key;

HookCore::Payload readPayload() {
    if (::isatty(STDIN_FILENO)) {
        return {};
    }
    try {
        return PayloadReader::read(STDIN_FILENO);
    } catch (const std::bad_alloc&) {
        return {};
    }
}

// An empty variable never produces a key.
void putEnv(boost::json::object& out, const char* variable, std::string_view key) {
    if (const char* value = std::getenv(variable); value != nullptr && *value != '\0') {
        out[key] = value;
    }
}

void run(int argc, char** argv) {
    const std::string event = argc > 1 ? argv[1] : "idle";
    const HookCore::Payload payload = readPayload();
    if (HookCore::ignoresEvent(event, payload)) {
        return;
    }
    const std::string state = HookCore::deriveState(event, payload);
    boost::json::object out{{Key::state, state}, {Key::message, nullptr}};

    HookCore::assembleOutput(out, event, payload, state);

    putEnv(out, "TERM_PROGRAM", Key::termProgram);
    putEnv(out, "TERM_SESSION_ID", Key::termSession);
    putEnv(out, "__CFBundleIdentifier", Key::termBundleId);
    putEnv(out, "WINDOWID", Key::termWindowId);
    const std::string_view sessionId = Json::findString(payload, "session_id").value_or("");
    if (!sessionId.empty()) {
        out[Key::sessionId] = sessionId;
    }
    const char* pwd = std::getenv("PWD");
    HookCore::putWorkingFolder(out, payload,
                               pwd ? std::optional<std::string_view>(pwd) : std::nullopt);
    if (const std::optional<std::string> tty = ControllingTerminal::controllingTTYPath()) {
        out[Key::tty] = *tty;
    }
    // The session's record first, so that a reader woken by the new state file finds it current.
    if (!sessionId.empty() && event == "SessionEnd") {
        StateWriter::removeSessionRecord(sessionId);
        Recap::dropStaleCounts();
    } else if (!sessionId.empty()) {
        StateWriter::writeSessionRecord(sessionId, out, SessionProcess::find());
    }
    StateWriter::writeState(out);
}

} // namespace

int main(int argc, char** argv) {
    // A file-size limit must make a write fail, not kill the hook with a failure status.
    std::signal(SIGXFSZ, SIG_IGN);
    try {
        run(argc, argv);
    } catch (...) {
        // Claude Code must never see the hook fail; a lost update is the lesser harm.
    }
    return 0;
}

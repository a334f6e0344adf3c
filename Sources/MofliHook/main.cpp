// MofliHook: Claude Code runs it once per hook event with the event name as argument and the
// event JSON on stdin. It reduces the event to what the pet shows and replaces the state file.
// Whatever happens it prints nothing and exits 0: output or a failure status would reach Claude
// Code itself (stdout becomes model context, a non-zero status shows as a hook error).
#include "ControllingTerminal.h"
#include "HookCore.h"
#include "Json.h"
#include "PayloadReader.h"
#include "Recap.h"
#include "StateWriter.h"

#include <csignal>
#include <cstdlib>
#include <unistd.h>

namespace {

constexpr int messageLimit = 48;

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

// The bubble text, label, recap and thinking flag; may turn a finished turn into "waving".
void assembleOutput(boost::json::object& out, std::string_view event,
                    const HookCore::Payload& payload, const std::string& state) {
    const std::optional<std::string> body = HookCore::buildBody(event, payload);
    const std::optional<std::string> recap =
        event == "Stop" || event == "SessionEnd" ? Recap::buildRecap() : std::nullopt;
    const std::string finalState = HookCore::finalState(event, state, recap.has_value());
    out["state"] = finalState;
    if (const std::optional<std::string> message = HookCore::compactText(body, messageLimit)) {
        out["message"] = *message;
    }
    if (const std::optional<std::string> label = HookCore::statusLabel(finalState)) {
        out["label"] = *label;
    }
    if (recap) {
        out["recap"] = *recap;
    }
    if (HookCore::isThinking(event, payload)) {
        out["thinking"] = true;
    }
}

// The payload's "cwd" wins even when empty (then no key at all); $PWD only stands in when the
// payload has no string there.
void putWorkingFolder(boost::json::object& out, const HookCore::Payload& payload) {
    std::optional<std::string_view> candidate = Json::findString(payload, "cwd");
    if (!candidate) {
        if (const char* pwd = std::getenv("PWD")) {
            candidate = pwd;
        }
    }
    if (candidate && !candidate->empty()) {
        out["cwd"] = *candidate;
    }
}

void run(int argc, char** argv) {
    const std::string event = argc > 1 ? argv[1] : "idle";
    const HookCore::Payload payload = readPayload();
    const std::string state = HookCore::deriveState(event, payload);
    boost::json::object out{{"state", state}, {"message", nullptr}};

    assembleOutput(out, event, payload, state);

    putEnv(out, "TERM_PROGRAM", "termProgram");
    putEnv(out, "TERM_SESSION_ID", "termSession");
    putEnv(out, "__CFBundleIdentifier", "termBundleId");
    if (const auto sessionId = Json::findString(payload, "session_id");
        sessionId && !sessionId->empty()) {
        out["sessionId"] = *sessionId;
    }
    putWorkingFolder(out, payload);
    if (const std::optional<std::string> tty = ControllingTerminal::controllingTTYPath()) {
        out["tty"] = *tty;
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

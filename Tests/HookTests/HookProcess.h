#pragma once

#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

// Runs the real MofliHook binary the way Claude Code does: event name as argument, payload on a
// pipe, and only the environment a test chooses (plus HOME), in a session of its own so that it
// has no controlling terminal.
struct HookInvocation {
    std::vector<std::string> arguments;
    std::string input;
    // "NAME=value" entries besides HOME.
    std::vector<std::string> environment;
    std::string program = MOFLI_HOOK_PATH;
    // Simulates a full disk: writes beyond this many bytes fail.
    std::optional<long> fileSizeLimit;
};

struct HookResult {
    bool exitedNormally = false;
    int exitStatus = -1;
    std::string standardOutput;
    std::string standardError;
};

namespace HookProcess {

// Starts the hook; it waits for its input until `finish` writes it.
pid_t start(const HookInvocation& invocation, int& inputFd, int& outputFd, int& errorFd);
HookResult finish(pid_t pid, const std::string& input, int inputFd, int outputFd, int errorFd);

HookResult run(const HookInvocation& invocation);
// Shorthand: event name and payload, nothing else.
HookResult run(const std::string& event, const std::string& payload,
               std::vector<std::string> environment = {});

} // namespace HookProcess

#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <vector>

// A program run to completion under a time limit, so that a hung Claude Code can never hang the
// test run.
struct ChildCommand {
    // The program's absolute path first, then its arguments.
    std::vector<std::string> arguments;
    // The complete environment, "NAME=value" each: nothing of the test's own is passed on.
    std::vector<std::string> environment;
    // Empty: the test's own working folder.
    std::string workingDirectory;
    std::chrono::milliseconds timeLimit{std::chrono::seconds(60)};
    // Called about every millisecond while the program runs, to watch what it does.
    std::function<void()> whileRunning;
};

struct ChildResult {
    // The exit status, or -1 when the program did not exit by itself.
    int exitStatus = -1;
    bool timedOut = false;
    // Standard output and standard error, interleaved as written.
    std::string output;
};

namespace ChildProcess {

// Runs the program in a session of its own, with standard input at end of file. When the time
// limit passes, it and everything it started in its process group are killed.
ChildResult run(const ChildCommand& command);

} // namespace ChildProcess

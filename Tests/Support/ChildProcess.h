#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <sys/types.h>
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

// Where a started child reads and writes, and what it may do.
struct ChildStreams {
    // Standard input; -1: at end of file.
    int input = -1;
    // Standard output and standard error; the same file interleaves them.
    int output = -1;
    int error = -1;
    // Empty: the test's own working folder.
    std::string workingDirectory;
    // Simulates a full disk: writes beyond this many bytes fail.
    std::optional<long> fileSizeLimit;
};

namespace ChildProcess {

// An anonymous file for a child's output, so that a chatty child can never block on a full pipe.
int outputFile();
// Everything written to `fd`, a file from outputFile(), which it closes.
std::string readAll(int fd);

// Starts `arguments` with exactly `environment` in a session of its own, so that it has no
// controlling terminal; should the test program be killed, the child goes with it. The caller
// waits for it.
pid_t start(const std::vector<std::string>& arguments, const std::vector<std::string>& environment,
            const ChildStreams& streams);

// Runs the program with standard input at end of file. When the time limit passes, it and
// everything it started in its process group are killed.
ChildResult run(const ChildCommand& command);

} // namespace ChildProcess

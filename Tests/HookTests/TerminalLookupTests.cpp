// The hook looks for the terminal of the Claude Code session among itself and its ancestors.
#include "Json.h"
#include "TemporaryHome.h"

#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

struct PtyRun {
    std::string terminalPath;
    std::string output;
    int exitStatus = -1;
};

std::vector<char*> pointers(std::vector<std::string>& strings) {
    std::vector<char*> result;
    for (std::string& s : strings) {
        result.push_back(s.data());
    }
    result.push_back(nullptr);
    return result;
}

// Runs the hook for "PreToolUse" with a new pseudo-terminal as controlling terminal and as
// stdin/stdout/stderr. With `detached`, the hook itself runs in a new session without a terminal
// and only its parent holds the pseudo-terminal.
PtyRun runOnPseudoTerminal(const std::string& program, bool detached) {
    std::vector<std::string> arguments{program, "PreToolUse"};
    std::vector<std::string> environment{std::string("HOME=") + std::getenv("HOME")};
    std::vector<char*> argv = pointers(arguments);
    std::vector<char*> envp = pointers(environment);
    int master = -1;
    char name[256] = {};
    const pid_t pid = ::forkpty(&master, name, nullptr, nullptr);
    if (pid == 0) {
        if (detached) {
            const pid_t hook = ::fork();
            if (hook == 0) {
                ::setsid();
                ::execve(argv[0], argv.data(), envp.data());
                ::_exit(127);
            }
            int status = 0;
            ::waitpid(hook, &status, 0);
            ::_exit(WIFEXITED(status) ? WEXITSTATUS(status) : 126);
        }
        ::execve(argv[0], argv.data(), envp.data());
        ::_exit(127);
    }
    PtyRun run;
    run.terminalPath = name;
    char buffer[256];
    // Reading ends with EIO once the terminal's last user has exited.
    for (ssize_t count; (count = ::read(master, buffer, sizeof buffer)) != 0;) {
        if (count < 0 && errno != EINTR) {
            break;
        }
        if (count > 0) {
            run.output.append(buffer, static_cast<std::size_t>(count));
        }
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    ::close(master);
    run.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

} // namespace

TEST(TerminalLookup, OwnTerminalIsFoundAndStdinFromATerminalIsNotRead) {
    TemporaryHome home;
    const PtyRun run = runOnPseudoTerminal(MOFLI_HOOK_PATH, false);
    EXPECT_EQ(run.exitStatus, 0);
    EXPECT_EQ(run.output, "");
    EXPECT_EQ(home.state(), Json::parseObject(R"({"state":"running","message":"なんかしてる",)"
                                              R"("label":"実行中","tty":")" +
                                              run.terminalPath + "\"}"));
}

TEST(TerminalLookup, AncestorTerminalIsFound) {
    TemporaryHome home;
    const PtyRun run = runOnPseudoTerminal(MOFLI_HOOK_PATH, true);
    EXPECT_EQ(run.exitStatus, 0);
    EXPECT_EQ(Json::findString(home.state(), "tty"), run.terminalPath);
}

TEST(TerminalLookup, ProgramNameWithParenthesesAndSpacesIsParsed) {
    TemporaryHome home;
    // Read up to the first ')', this name would look like a process with parent 1 and no tty.
    const std::string program = home.path() + "/h) S 1 1 1 0 (";
    std::filesystem::copy_file(MOFLI_HOOK_PATH, program);
    const PtyRun run = runOnPseudoTerminal(program, false);
    EXPECT_EQ(run.exitStatus, 0);
    EXPECT_EQ(Json::findString(home.state(), "tty"), run.terminalPath);
}

TEST(TerminalLookup, NoTerminalAnywhereGivesNoKey) {
    TemporaryHome home;
    std::vector<std::string> arguments{MOFLI_HOOK_PATH, "Stop"};
    std::vector<std::string> environment{std::string("HOME=") + std::getenv("HOME")};
    std::vector<char*> argv = pointers(arguments);
    std::vector<char*> envp = pointers(environment);
    int done[2];
    ASSERT_EQ(::pipe(done), 0);
    const int nothing = ::open("/dev/null", O_RDONLY);
    // The hook is orphaned in a session without a terminal, so that neither it nor any ancestor
    // (now init or a subreaper) shares this test's terminal.
    const pid_t middle = ::fork();
    if (middle == 0) {
        ::setsid();
        const pid_t middlePid = ::getpid();
        if (::fork() == 0) {
            ::close(done[0]);
            ::dup2(nothing, STDIN_FILENO);
            while (::getppid() == middlePid) {
                ::sched_yield();
            }
            ::execve(argv[0], argv.data(), envp.data());
            ::_exit(127);
        }
        ::_exit(0);
    }
    ::close(done[1]);
    ::close(nothing);
    int status = 0;
    ::waitpid(middle, &status, 0);
    char byte;
    for (ssize_t count; (count = ::read(done[0], &byte, 1)) != 0;) {
        if (count < 0 && errno != EINTR) {
            break;
        }
    }
    ::close(done[0]);
    EXPECT_EQ(home.state(), Json::parseObject(R"({"state":"idle","message":null})"));
}

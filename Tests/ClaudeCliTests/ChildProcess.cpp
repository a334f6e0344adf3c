#include "ChildProcess.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <stdexcept>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#ifdef __linux__
#include <sys/prctl.h>
#endif

namespace ChildProcess {
namespace {

// Output goes to an anonymous file, so a chatty child can never block on a full pipe.
int anonymousFile() {
    FILE* file = std::tmpfile();
    if (file == nullptr) {
        throw std::runtime_error("tmpfile failed");
    }
    const int fd = ::fcntl(::fileno(file), F_DUPFD_CLOEXEC, 0);
    std::fclose(file);
    return fd;
}

std::string readBack(int fd) {
    std::string contents;
    ::lseek(fd, 0, SEEK_SET);
    char buffer[4096];
    for (ssize_t count; (count = ::read(fd, buffer, sizeof buffer)) > 0;) {
        contents.append(buffer, static_cast<std::size_t>(count));
    }
    ::close(fd);
    return contents;
}

std::vector<char*> pointers(std::vector<std::string>& strings) {
    std::vector<char*> result;
    for (std::string& string : strings) {
        result.push_back(string.data());
    }
    result.push_back(nullptr);
    return result;
}

} // namespace

ChildResult run(const ChildCommand& command) {
    std::vector<std::string> arguments = command.arguments;
    std::vector<std::string> environment = command.environment;
    std::vector<char*> argv = pointers(arguments);
    std::vector<char*> envp = pointers(environment);
    const int outputFd = anonymousFile();

    const pid_t pid = ::fork();
    if (pid < 0) {
        ::close(outputFd);
        throw std::runtime_error("fork failed");
    }
    if (pid == 0) {
        ::setsid();
#ifdef __linux__
        // Should the test program itself be killed, the child goes with it.
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
#endif
        const int input = ::open("/dev/null", O_RDONLY);
        ::dup2(input, STDIN_FILENO);
        ::dup2(outputFd, STDOUT_FILENO);
        ::dup2(outputFd, STDERR_FILENO);
        if (!command.workingDirectory.empty() && ::chdir(command.workingDirectory.c_str()) != 0) {
            ::_exit(126);
        }
        ::execve(argv[0], argv.data(), envp.data());
        ::_exit(127);
    }

    ChildResult result;
    const auto deadline = std::chrono::steady_clock::now() + command.timeLimit;
    int status = 0;
    for (;;) {
        const pid_t done = ::waitpid(pid, &status, WNOHANG);
        if (done == pid) {
            break;
        }
        if (done < 0 && errno != EINTR) {
            throw std::runtime_error("waitpid failed");
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            result.timedOut = true;
            ::kill(-pid, SIGKILL);
            while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
            }
            break;
        }
        if (command.whileRunning) {
            command.whileRunning();
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    // Whatever the child left behind in its group must not outlive the test.
    ::kill(-pid, SIGKILL);
    result.exitStatus = !result.timedOut && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.output = readBack(outputFd);
    return result;
}

} // namespace ChildProcess

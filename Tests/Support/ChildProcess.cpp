#include "ChildProcess.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <stdexcept>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#ifdef __linux__
#include <sys/prctl.h>
#endif

namespace ChildProcess {
namespace {

std::vector<char*> pointers(std::vector<std::string>& strings) {
    std::vector<char*> result;
    for (std::string& string : strings) {
        result.push_back(string.data());
    }
    result.push_back(nullptr);
    return result;
}

} // namespace

int outputFile() {
    FILE* file = std::tmpfile();
    if (file == nullptr) {
        throw std::runtime_error("tmpfile failed");
    }
    const int fd = ::fcntl(::fileno(file), F_DUPFD_CLOEXEC, 0);
    std::fclose(file);
    return fd;
}

std::string readAll(int fd) {
    std::string contents;
    ::lseek(fd, 0, SEEK_SET);
    char buffer[4096];
    for (ssize_t count; (count = ::read(fd, buffer, sizeof buffer)) > 0;) {
        contents.append(buffer, static_cast<std::size_t>(count));
    }
    ::close(fd);
    return contents;
}

pid_t start(const std::vector<std::string>& arguments, const std::vector<std::string>& environment,
            const ChildStreams& streams) {
    // Everything the child needs is made before the fork: it may only make system calls.
    std::vector<std::string> argumentCopy = arguments;
    std::vector<std::string> environmentCopy = environment;
    std::vector<char*> argv = pointers(argumentCopy);
    std::vector<char*> envp = pointers(environmentCopy);
    const pid_t pid = ::fork();
    if (pid < 0) {
        throw std::runtime_error("fork failed");
    }
    if (pid == 0) {
        ::setsid();
#ifdef __linux__
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
#endif
        const int input = streams.input >= 0 ? streams.input : ::open("/dev/null", O_RDONLY);
        ::dup2(input, STDIN_FILENO);
        ::dup2(streams.output, STDOUT_FILENO);
        ::dup2(streams.error, STDERR_FILENO);
        if (streams.fileSizeLimit) {
            const rlimit limit{static_cast<rlim_t>(*streams.fileSizeLimit),
                               static_cast<rlim_t>(*streams.fileSizeLimit)};
            ::setrlimit(RLIMIT_FSIZE, &limit);
        }
        if (!streams.workingDirectory.empty() && ::chdir(streams.workingDirectory.c_str()) != 0) {
            ::_exit(126);
        }
        ::execve(argv[0], argv.data(), envp.data());
        ::_exit(127);
    }
    return pid;
}

ChildResult run(const ChildCommand& command) {
    const int outputFd = outputFile();
    ChildStreams streams;
    streams.output = outputFd;
    streams.error = outputFd;
    streams.workingDirectory = command.workingDirectory;
    pid_t pid = -1;
    try {
        pid = start(command.arguments, command.environment, streams);
    } catch (...) {
        ::close(outputFd);
        throw;
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
    result.output = readAll(outputFd);
    return result;
}

} // namespace ChildProcess

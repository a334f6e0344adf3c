#include "HookProcess.h"

#include "ChildProcess.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

namespace HookProcess {

pid_t start(const HookInvocation& invocation, int& inputFd, int& outputFd, int& errorFd) {
    std::signal(SIGPIPE, SIG_IGN);
    std::vector<std::string> arguments{invocation.program};
    arguments.insert(arguments.end(), invocation.arguments.begin(), invocation.arguments.end());
    std::vector<std::string> environment{std::string("HOME=") + std::getenv("HOME")};
    environment.insert(environment.end(), invocation.environment.begin(),
                       invocation.environment.end());
    int pipeFds[2];
    // Close-on-exec, so that hooks started side by side never hold each other's input open.
    if (::pipe2(pipeFds, O_CLOEXEC) != 0) {
        throw std::runtime_error("pipe failed");
    }
    outputFd = ChildProcess::outputFile();
    errorFd = ChildProcess::outputFile();
    ChildStreams streams;
    streams.input = pipeFds[0];
    streams.output = outputFd;
    streams.error = errorFd;
    streams.fileSizeLimit = invocation.fileSizeLimit;
    const pid_t pid = ChildProcess::start(arguments, environment, streams);
    ::close(pipeFds[0]);
    inputFd = pipeFds[1];
    return pid;
}

HookResult finish(pid_t pid, const std::string& input, int inputFd, int outputFd, int errorFd) {
    std::string_view rest = input;
    while (!rest.empty()) {
        const ssize_t written = ::write(inputFd, rest.data(), rest.size());
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            break; // The hook may exit without reading everything.
        }
        rest.remove_prefix(static_cast<std::size_t>(written));
    }
    ::close(inputFd);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    HookResult result;
    result.exitedNormally = WIFEXITED(status);
    result.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.standardOutput = ChildProcess::readAll(outputFd);
    result.standardError = ChildProcess::readAll(errorFd);
    return result;
}

HookResult run(const HookInvocation& invocation) {
    int inputFd = -1;
    int outputFd = -1;
    int errorFd = -1;
    const pid_t pid = start(invocation, inputFd, outputFd, errorFd);
    return finish(pid, invocation.input, inputFd, outputFd, errorFd);
}

HookResult run(const std::string& event, const std::string& payload,
               std::vector<std::string> environment) {
    HookInvocation invocation;
    invocation.arguments = {event};
    invocation.input = payload;
    invocation.environment = std::move(environment);
    return run(invocation);
}

} // namespace HookProcess

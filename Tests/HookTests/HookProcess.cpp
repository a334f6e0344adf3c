#include "HookProcess.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <stdexcept>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace HookProcess {
namespace {

// Output goes to anonymous files, so a misbehaving hook can never block on a full pipe.
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

} // namespace

pid_t start(const HookInvocation& invocation, int& inputFd, int& outputFd, int& errorFd) {
    std::signal(SIGPIPE, SIG_IGN);
    std::vector<std::string> arguments{invocation.program};
    arguments.insert(arguments.end(), invocation.arguments.begin(), invocation.arguments.end());
    std::vector<std::string> environment{std::string("HOME=") + std::getenv("HOME")};
    environment.insert(environment.end(), invocation.environment.begin(),
                       invocation.environment.end());
    std::vector<char*> argv;
    for (std::string& argument : arguments) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (std::string& entry : environment) {
        envp.push_back(entry.data());
    }
    envp.push_back(nullptr);

    int pipeFds[2];
    // Close-on-exec, so that hooks started side by side never hold each other's input open.
    if (::pipe(pipeFds) != 0 || ::fcntl(pipeFds[0], F_SETFD, FD_CLOEXEC) != 0 ||
        ::fcntl(pipeFds[1], F_SETFD, FD_CLOEXEC) != 0) {
        throw std::runtime_error("pipe failed");
    }
    outputFd = anonymousFile();
    errorFd = anonymousFile();
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::setsid();
        ::dup2(pipeFds[0], STDIN_FILENO);
        ::dup2(outputFd, STDOUT_FILENO);
        ::dup2(errorFd, STDERR_FILENO);
        ::close(pipeFds[0]);
        ::close(pipeFds[1]);
        if (invocation.fileSizeLimit) {
            const rlimit limit{static_cast<rlim_t>(*invocation.fileSizeLimit),
                               static_cast<rlim_t>(*invocation.fileSizeLimit)};
            ::setrlimit(RLIMIT_FSIZE, &limit);
        }
        ::execve(argv[0], argv.data(), envp.data());
        ::_exit(127);
    }
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
    result.standardOutput = readBack(outputFd);
    result.standardError = readBack(errorFd);
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

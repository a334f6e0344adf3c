#include "FakeMessagesApi.h"

#include "ChildProcess.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <string_view>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

constexpr auto startLimit = std::chrono::seconds(10);
// Longer than any test that uses it; the server also ends by itself after this.
constexpr std::string_view lifetimeSeconds = "120";

void makePipe(int fds[2]) {
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        throw std::runtime_error("pipe failed");
    }
}

// The first line the server writes, or nothing when it writes none within the limit.
std::string readFirstLine(int fd) {
    std::string line;
    const auto deadline = std::chrono::steady_clock::now() + startLimit;
    while (line.find('\n') == std::string::npos) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            return {};
        }
        pollfd entry{fd, POLLIN, 0};
        const int ready = ::poll(&entry, 1, static_cast<int>(left.count()));
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        if (ready <= 0) {
            return {};
        }
        char buffer[64];
        const ssize_t count = ::read(fd, buffer, sizeof buffer);
        if (count <= 0) {
            return {};
        }
        line.append(buffer, static_cast<std::size_t>(count));
    }
    return line.substr(0, line.find('\n'));
}

} // namespace

FakeMessagesApi::FakeMessagesApi(const std::string& node, const std::string& script,
                                 std::vector<std::string> options) {
    logFd_ = ChildProcess::outputFile();
    int input[2];
    int output[2];
    makePipe(input);
    makePipe(output);
    std::vector<std::string> arguments = {node, script, "--lifetime", std::string(lifetimeSeconds)};
    arguments.insert(arguments.end(), options.begin(), options.end());
    ChildStreams streams;
    streams.input = input[0];
    streams.output = output[1];
    streams.error = logFd_;
    pid_ = ChildProcess::start(arguments, {}, streams);
    ::close(input[0]);
    ::close(output[1]);
    // The server ends as soon as this end closes, also when the test program dies.
    inputFd_ = input[1];
    const std::string line = pid_ > 0 ? readFirstLine(output[0]) : std::string();
    ::close(output[0]);
    if (line.empty() || line.find_first_not_of("0123456789") != std::string::npos) {
        const std::string log = requestLog();
        stop();
        throw std::runtime_error("the fake Messages API did not start: " + log);
    }
    port_ = std::stoi(line);
}

FakeMessagesApi::~FakeMessagesApi() {
    stop();
}

void FakeMessagesApi::stop() {
    if (inputFd_ >= 0) {
        ::close(inputFd_);
        inputFd_ = -1;
    }
    if (pid_ > 0) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
        while (::waitpid(pid_, nullptr, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() >= deadline) {
                ::kill(pid_, SIGKILL);
                ::waitpid(pid_, nullptr, 0);
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        pid_ = -1;
    }
    if (logFd_ >= 0) {
        ::close(logFd_);
        logFd_ = -1;
    }
}

std::string FakeMessagesApi::baseUrl() const {
    return "http://127.0.0.1:" + std::to_string(port_);
}

std::string FakeMessagesApi::requestLog() const {
    std::string contents;
    char buffer[4096];
    off_t offset = 0;
    for (ssize_t count; (count = ::pread(logFd_, buffer, sizeof buffer, offset)) > 0;
         offset += count) {
        contents.append(buffer, static_cast<std::size_t>(count));
    }
    return contents;
}

// Times program start to exit, the way Claude Code runs a hook: spawn, feed the payload on a
// pipe, wait. Runs of the program and of a baseline alternate so that both see the same load.
//
//   hook-spawn-timer RUNS PAYLOAD_FILE BASELINE PROGRAM [ARGUMENT...]
//
// Both get the same arguments, so that BASELINE may also be another build of PROGRAM. Prints the
// median wall time of PROGRAM and of BASELINE in microseconds on one line.
#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

std::string readFile(const char* path) {
    std::string contents;
    FILE* file = std::fopen(path, "rb");
    if (file == nullptr) {
        std::perror(path);
        std::exit(2);
    }
    char buffer[1 << 16];
    for (std::size_t count; (count = std::fread(buffer, 1, sizeof buffer, file)) > 0;) {
        contents.append(buffer, count);
    }
    std::fclose(file);
    return contents;
}

double nowMicroseconds() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<double>(now.tv_sec) * 1e6 + static_cast<double>(now.tv_nsec) / 1e3;
}

double timeOneRun(char* const* argv, const std::string& payload) {
    int fds[2];
    if (pipe(fds) != 0 || fcntl(fds[0], F_SETFD, FD_CLOEXEC) != 0 ||
        fcntl(fds[1], F_SETFD, FD_CLOEXEC) != 0) {
        std::perror("pipe");
        std::exit(2);
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[0], STDIN_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);

    const double start = nowMicroseconds();
    pid_t pid = 0;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv, environ) != 0) {
        std::perror(argv[0]);
        std::exit(2);
    }
    close(fds[0]);
    const char* data = payload.data();
    std::size_t left = payload.size();
    while (left > 0) {
        const ssize_t written = write(fds[1], data, left);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            break; // A program that does not read its input closes the pipe by exiting.
        }
        data += written;
        left -= static_cast<std::size_t>(written);
    }
    close(fds[1]);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    const double elapsed = nowMicroseconds() - start;
    posix_spawn_file_actions_destroy(&actions);
    return elapsed;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 5) {
        std::fprintf(stderr, "usage: %s RUNS PAYLOAD_FILE BASELINE PROGRAM [ARGUMENT...]\n",
                     argv[0]);
        return 2;
    }
    std::signal(SIGPIPE, SIG_IGN);
    const int runs = std::max(1, std::atoi(argv[1]));
    const std::string payload = readFile(argv[2]);
    std::vector<char*> baseline(argv + 4, argv + argc + 1);
    baseline[0] = argv[3];
    char* const* program = argv + 4;

    std::vector<double> programTimes;
    std::vector<double> baselineTimes;
    for (int run = 0; run < runs; ++run) {
        baselineTimes.push_back(timeOneRun(baseline.data(), payload));
        programTimes.push_back(timeOneRun(program, payload));
    }
    std::printf("%.1f %.1f\n", median(programTimes), median(baselineTimes));
    return 0;
}

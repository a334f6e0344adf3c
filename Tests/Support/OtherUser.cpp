#include "OtherUser.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <grp.h>
#include <poll.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

// useradd and userdel refuse to run while another of them holds the account files, as test
// programs started side by side may.
bool runRetrying(const std::string& command) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        if (std::system((command + " >/dev/null 2>&1").c_str()) == 0) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return false;
}

} // namespace

OtherUser::Process::~Process() {
    ::kill(pid_, SIGKILL);
    int status = 0;
    while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
}

std::unique_ptr<OtherUser> OtherUser::create(std::string& why) {
    if (::geteuid() != 0) {
        why = "only root can make a second local user for this test (CI runs as root)";
        return nullptr;
    }
    if (std::system("command -v useradd >/dev/null 2>&1 && command -v userdel >/dev/null 2>&1") !=
        0) {
        why = "useradd and userdel are not installed";
        return nullptr;
    }
    const std::string name = "mofli-t" + std::to_string(::getpid());
    if (!runRetrying("useradd --system --user-group --no-create-home --shell /usr/sbin/nologin " +
                     name)) {
        why = "useradd could not make the user " + name;
        return nullptr;
    }
    const passwd* entry = ::getpwnam(name.c_str());
    if (entry == nullptr) {
        runRetrying("userdel " + name);
        why = "the new user " + name + " is not in the password database";
        return nullptr;
    }
    return std::unique_ptr<OtherUser>(new OtherUser(name, entry->pw_uid, entry->pw_gid));
}

OtherUser::~OtherUser() {
    runRetrying("userdel " + name_);
}

bool OtherUser::own(const std::string& path, mode_t mode) const {
    struct stat info {};
    if (::lchown(path.c_str(), uid_, gid_) != 0 || ::lstat(path.c_str(), &info) != 0) {
        return false;
    }
    return S_ISLNK(info.st_mode) || ::chmod(path.c_str(), mode) == 0;
}

std::unique_ptr<OtherUser::Process> OtherUser::start(const std::function<void(int)>& work) const {
    int pipe[2];
    if (::pipe(pipe) != 0) {
        return nullptr;
    }
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(pipe[0]);
        if (::setgroups(0, nullptr) != 0 || ::setgid(gid_) != 0 || ::setuid(uid_) != 0) {
            ::_exit(1);
        }
        work(pipe[1]);
        ::_exit(0);
    }
    ::close(pipe[1]);
    if (pid < 0) {
        ::close(pipe[0]);
        return nullptr;
    }
    auto process = std::make_unique<Process>(pid);
    pollfd ready{pipe[0], POLLIN, 0};
    char byte = 0;
    const bool started = ::poll(&ready, 1, 10000) == 1 && ::read(pipe[0], &byte, 1) == 1;
    ::close(pipe[0]);
    return started ? std::move(process) : nullptr;
}

#pragma once

#include <functional>
#include <memory>
#include <string>
#include <sys/types.h>

// A throwaway local account for tests of what another user of the machine can do to the app:
// made with useradd, removed with userdel when the object goes. Only root can make one (CI runs
// as root); elsewhere tests skip and say why.
class OtherUser {
public:
    // A process running as the user, stopped when the object goes.
    class Process {
    public:
        explicit Process(pid_t pid) : pid_(pid) {}
        ~Process();
        Process(const Process&) = delete;
        Process& operator=(const Process&) = delete;

    private:
        pid_t pid_;
    };

    // The account, or nothing with the reason in `why`.
    static std::unique_ptr<OtherUser> create(std::string& why);
    ~OtherUser();
    OtherUser(const OtherUser&) = delete;
    OtherUser& operator=(const OtherUser&) = delete;

    uid_t uid() const { return uid_; }
    gid_t gid() const { return gid_; }

    // Gives `path` (a symbolic link itself, not its target) to the user, with `mode` unless it is
    // a link; false when that fails.
    bool own(const std::string& path, mode_t mode) const;

    // Runs `work` in a child process with the user's identity and no other groups. `work` gets a
    // descriptor to write one byte to once it is ready, and keeps running until the Process goes;
    // nothing when it never got ready. Only system calls belong in `work`: the child of a
    // threaded program must not take locks.
    std::unique_ptr<Process> start(const std::function<void(int ready)>& work) const;

private:
    OtherUser(std::string name, uid_t uid, gid_t gid)
        : name_(std::move(name)), uid_(uid), gid_(gid) {}

    std::string name_;
    uid_t uid_;
    gid_t gid_;
};

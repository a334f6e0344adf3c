#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

// Two interactive Claude Code sessions at once, as a user runs them side by side: the pinned CLI
// in two sessions of a private tmux server, each in a project folder of its own and answered
// offline by a fake Messages API of its own, with the Mofli plugin linked into Claude Code by the
// app's own link manager. The scripted run:
//   1. both sessions start and reach their prompt (step `started`);
//   2. A is asked for something that runs a command it may not run unasked, and its permission
//      prompt opens (`aWaits`);
//   3. B is asked for something that runs one command after another, and starts (`bWorks`);
//   4. after `Options::wait`, A's prompt is answered "Yes" (`aAnswered`) and B is let finish;
//      both turns end with a recap (`bothFinished`);
//   5. both sessions quit (`ended`).
// The sessions share the caller's $HOME, which must be a throwaway one (a TemporaryHome): the app
// under test reads the same ~/.claude/mofli. A run takes about `wait` plus 15 to 30 seconds.
class TwoSessions {
public:
    enum class Step { started, aWaits, bWorks, aAnswered, bothFinished, ended };

    struct Session {
        // The project folder's last component ("alpha", "beta"), also the tmux session's name.
        std::string name;
        std::string folder;
        // Claude Code's session id, chosen by the harness.
        std::string id;
        // The hook's record of the session, ~/.claude/mofli/sessions/<SHA-1 of the id>.json.
        std::string recordFile;
    };

    struct Options {
        // How long A waits on its prompt while B works.
        std::chrono::milliseconds wait{std::chrono::seconds(60)};
        // Called on the calling thread about every 20 ms while the run waits for something, for
        // the caller to turn its event loop and look at what it watches.
        std::function<void()> tick;
        // Called as each step is reached.
        std::function<void(Step)> reached;
    };

    // Everything of the run goes below `scratch`, a fresh folder (the tmux server's socket among
    // it, so the path must stay short). Starts nothing yet.
    explicit TwoSessions(std::string scratch);
    // Stops the sessions, the tmux server and the fake APIs, and puts the environment back.
    ~TwoSessions();
    TwoSessions(const TwoSessions&) = delete;
    TwoSessions& operator=(const TwoSessions&) = delete;

    // Why the run cannot happen here (no Claude Code CLI, Node or tmux); empty when it can.
    static std::string unavailable();

    // Links the plugin and plays the scripted run; false when a step did not come in time or
    // linking failed, with what was seen in failure().
    bool run(const Options& options);
    const std::string& failure() const { return failure_; }

    const Session& a() const { return a_; }
    const Session& b() const { return b_; }
    // The command that reaches this tmux server, for attaching a terminal to a session:
    // {tmux, "-L", name}; the environment already points TMUX_TMPDIR at the server's folder.
    std::vector<std::string> tmuxCommand() const;

private:
    struct Impl;

    Session a_;
    Session b_;
    std::string failure_;
    std::unique_ptr<Impl> impl_;
};

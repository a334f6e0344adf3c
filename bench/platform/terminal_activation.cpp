// Median time of one click's terminal activation on X11 with 500 extra processes on the machine
// (target: well under 100 ms): by the programs on a tty, by window id, through a tmux pane, and
// for a tty that nothing matches.
#include "BenchEnvironment.h"
#include "Platform.h"
#include "PlatformFactory.h"
#include "TerminalOrigin.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QThread>
#include <csignal>
#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

constexpr int extraProcesses = 500;
constexpr int samples = 40;
constexpr double targetMs = 100;

// Sleeping processes that only fill the process table, as a busy desktop's would.
class Sleepers {
public:
    explicit Sleepers(int count) {
        char program[] = "sleep";
        char seconds[] = "600";
        char* argv[] = {program, seconds, nullptr};
        for (int i = 0; i < count; ++i) {
            pid_t pid = 0;
            if (posix_spawnp(&pid, "sleep", nullptr, nullptr, argv, environ) == 0) {
                pids_.push_back(pid);
            }
        }
    }
    ~Sleepers() {
        for (pid_t pid : pids_) {
            ::kill(pid, SIGTERM);
        }
        for (pid_t pid : pids_) {
            ::waitpid(pid, nullptr, 0);
        }
    }
    int size() const { return int(pids_.size()); }

private:
    std::vector<pid_t> pids_;
};

QString tmux(const QStringList& arguments) {
    QProcess process;
    process.start(QStringLiteral("tmux"), arguments);
    process.waitForFinished(5000);
    return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}

// Waits up to five seconds for `done`.
bool waitFor(const std::function<bool()>& done) {
    QElapsedTimer elapsed;
    elapsed.start();
    while (!done()) {
        if (elapsed.elapsed() > 5000) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(20);
    }
    return true;
}

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

int processCount() {
    int count = 0;
    for (const QString& name : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        bool number = false;
        name.toInt(&number);
        count += number ? 1 : 0;
    }
    return count;
}

} // namespace

int main(int argc, char** argv) {
    BenchEnvironment environment;
    QApplication app(argc, argv);
    if (QGuiApplication::platformName() != QLatin1String("xcb")) {
        std::fprintf(stderr,
                     "needs an X server with a window manager (run bench/terminal-activation)\n");
        return 2;
    }
    const std::unique_ptr<Platform> platform = PlatformFactory::create();
    qputenv("TMUX_TMPDIR", QFile::encodeName(environment.path("tmux")));
    qunsetenv("TMUX");
    QDir().mkpath(environment.path("tmux"));

    // A terminal whose shell says where it runs, and one showing a tmux session with two windows.
    const QString where = environment.path("where");
    QProcess plain;
    plain.start(QStringLiteral("xterm"),
                {QStringLiteral("-e"), QStringLiteral("/bin/sh"), QStringLiteral("-c"),
                 QStringLiteral("echo \"$WINDOWID $(tty)\" > \"$0\"; exec sh"), where});
    tmux({"new-session", "-d", "-s", "bench", "/bin/sh"});
    tmux({"new-window", "-t", "bench", "/bin/sh"});
    const QString paneTty = tmux({"display-message", "-p", "-t", "bench:1", "#{pane_tty}"});
    QProcess attached;
    attached.start(QStringLiteral("xterm"),
                   {QStringLiteral("-e"), QStringLiteral("tmux"), QStringLiteral("attach")});
    QStringList announced;
    if (!waitFor([&] {
            announced = QString::fromUtf8(readAll(where)).split(' ');
            return announced.size() == 2 && !tmux({"list-clients"}).isEmpty();
        }) ||
        !paneTty.startsWith(QLatin1String("/dev/"))) {
        std::fprintf(stderr, "xterm or tmux did not start\n");
        return 2;
    }
    const Sleepers sleepers(extraProcesses);
    std::printf("%d processes running, %d of them started for this benchmark\n", processCount(),
                sleepers.size());

    struct Case {
        const char* name;
        TerminalOrigin origin;
        bool expected;
    };
    TerminalOrigin byWindow;
    byWindow.windowId = announced[0];
    const QString plainTty = announced[1].trimmed();
    const Case cases[] = {
        {"activation by the programs on a tty", {{}, {}, plainTty, {}}, true},
        {"activation by window id", byWindow, true},
        {"activation of a tmux pane", {{}, {}, paneTty, {}}, true},
        {"activation of a tty nothing uses", {{}, {}, QStringLiteral("/dev/null"), {}}, false},
    };
    bool allMet = true;
    for (const Case& c : cases) {
        std::vector<double> times;
        for (int i = 0; i < samples; ++i) {
            // From the click to the answer, which the search sends from its own thread.
            std::optional<bool> answer;
            QObject context;
            QElapsedTimer timer;
            timer.start();
            platform->activateTerminal(c.origin, &context, [&](bool done) { answer = done; });
            while (!answer) {
                QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
            }
            times.push_back(double(timer.nsecsElapsed()) / 1e6);
            const bool activated = *answer;
            if (activated != c.expected) {
                std::fprintf(stderr, "%s: activateTerminal returned %d\n", c.name, activated);
                return 2;
            }
            // Lets the window manager act between clicks, as it would between a user's.
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        }
        allMet = report(c.name, median(times), targetMs, times.size()) && allMet;
    }
    tmux({"kill-server"});
    plain.kill();
    attached.kill();
    plain.waitForFinished();
    attached.waitForFinished();
    return allMet ? 0 : 1;
}

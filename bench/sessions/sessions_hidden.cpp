// How long a Claude Code session waiting on its permission prompt stays hidden while another
// session runs commands, in seconds per minute of the wait: two real sessions (TwoSessions), the
// state file sampled every 50 ms as the pet read it before it followed sessions, the session
// tracker's choice over the same run, and the title of the real app's pet window on the X display
// (through xprop), which says what the pet shows.
#include "FileEventSources.h"
#include "QtScheduler.h"
#include "SessionTracker.h"
#include "TemporaryHome.h"
#include "TwoSessions.h"

#include <QCoreApplication>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QThread>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

using Clock = std::chrono::steady_clock;

struct Tally {
    int samples = 0;
    int hidden = 0;

    void add(bool shown) {
        ++samples;
        hidden += shown ? 0 : 1;
    }
    double hiddenPerMinute() const { return samples ? 60.0 * hidden / samples : 0; }
};

// What an X client reads as the title of the app's pet window; empty before it has one.
QString titleOf(const QString& window) {
    QProcess xprop;
    xprop.start(QStringLiteral("xprop"), {"-id", window, "-notype", "_NET_WM_NAME"});
    xprop.waitForFinished(2000);
    const QString line = QString::fromUtf8(xprop.readAllStandardOutput()).trimmed();
    const qsizetype quote = line.indexOf(QLatin1Char('"'));
    return quote < 0 ? QString() : line.mid(quote + 1).chopped(1);
}

// The pet window of the app started as `app`, once it is mapped.
QString petWindowOf(const QProcess& app) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        QProcess search;
        search.start(QStringLiteral("xdotool"),
                     {"search", "--onlyvisible", "--pid", QString::number(app.processId()),
                      "--name", "^Mofli"});
        search.waitForFinished(2000);
        const QString found = QString::fromUtf8(search.readAllStandardOutput()).section('\n', 0, 0);
        if (!found.isEmpty()) {
            return found;
        }
        QThread::msleep(100);
    }
    return {};
}

void report(const char* what, const Tally& tally, double seconds) {
    std::printf("%-56s %5.1f s hidden per minute (%d samples over %.1f s)\n", what,
                tally.hiddenPerMinute(), tally.samples, seconds);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int waitSeconds = argc > 1 ? std::atoi(argv[1]) : 60;
    if (const std::string why = TwoSessions::unavailable(); !why.empty()) {
        std::fprintf(stderr, "cannot run two Claude Code sessions: %s\n", why.c_str());
        return 2;
    }
    TemporaryHome home;
    TwoSessions sessions(home.root() + "/run");
    QtScheduler scheduler;
    SessionTracker tracker(scheduler,
                           {FileEventSources::create, std::chrono::milliseconds(1000), {}});
    tracker.start();

    // The real app in the same home, on the X display the bench runs on.
    // The link into Claude Code is the harness's: the app must not try one at its launch.
    home.write(home.root() + "/config/Mofli/Mofli.conf", "[General]\ndidAttemptInitialLink=true\n");
    QProcess petApp;
    QString petWindow;
    if (qEnvironmentVariableIsSet("DISPLAY")) {
        petApp.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        petApp.start(QStringLiteral(MOFLI_APP), {});
        petWindow = petWindowOf(petApp);
    }
    if (petWindow.isEmpty()) {
        std::fprintf(stderr, "no pet window of the app on an X display: no figure from it\n");
    }
    const QString titleWaitingA =
        QStringLiteral("Mofli — %1 · 入力が必要: ").arg(QString::fromStdString(sessions.a().name));
    Tally fromTitle;

    const QString a = QString::fromStdString(sessions.a().id);
    const QString stateFile = QString::fromStdString(home.stateFile());
    const auto showsAWaiting = [&](const QString& sessionId, const QString& state) {
        return sessionId == a && state == QLatin1String("waiting");
    };
    Tally before;
    Tally after;
    bool sampling = false;
    Clock::time_point started;
    Clock::time_point nextSample;
    double seconds = 0;

    TwoSessions::Options options;
    options.wait = std::chrono::seconds(waitSeconds);
    options.tick = [&] {
        QCoreApplication::processEvents();
        const auto now = Clock::now();
        if (!sampling || now < nextSample) {
            return;
        }
        nextSample += std::chrono::milliseconds(50);
        QFile file(stateFile);
        const QJsonObject state = file.open(QIODevice::ReadOnly)
                                      ? QJsonDocument::fromJson(file.readAll()).object()
                                      : QJsonObject();
        before.add(
            showsAWaiting(state.value("sessionId").toString(), state.value("state").toString()));
        const AvatarState& shown = tracker.shownState();
        after.add(showsAWaiting(shown.sessionId.value_or(QString()), shown.state));
        if (!petWindow.isEmpty()) {
            fromTitle.add(titleOf(petWindow).startsWith(titleWaitingA));
        }
    };
    options.reached = [&](TwoSessions::Step step) {
        if (step == TwoSessions::Step::bWorks) {
            sampling = true;
            started = nextSample = Clock::now();
        } else if (step == TwoSessions::Step::aAnswered) {
            sampling = false;
            seconds = std::chrono::duration<double>(Clock::now() - started).count();
        }
    };
    if (!sessions.run(options)) {
        std::fprintf(stderr, "the run failed: %s\n", sessions.failure().c_str());
        return 1;
    }
    report("two sessions, A waits, B works: state file (before)", before, seconds);
    report("two sessions, A waits, B works: session tracker (after)", after, seconds);
    if (!petWindow.isEmpty()) {
        report("two sessions, A waits, B works: the app's window title", fromTitle, seconds);
    }
    petApp.kill();
    petApp.waitForFinished();
    return 0;
}

// How long a Claude Code session waiting on its permission prompt stays hidden while another
// session runs commands, in seconds per minute of the wait: two real sessions (TwoSessions), the
// state file sampled every 50 ms as the pet read it before it followed sessions, and the session
// tracker's choice over the same run.
#include "FileEventSources.h"
#include "QtScheduler.h"
#include "SessionTracker.h"
#include "TemporaryHome.h"
#include "TwoSessions.h"

#include <QCoreApplication>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
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
    return 0;
}

// Two real Claude Code sessions at once, followed by the app's session tracker as the running app
// follows them: from the files the linked hook writes, with the file event source and the poll.
#include "FileEventSources.h"
#include "QtPrinting.h"
#include "QtScheduler.h"
#include "RunWatching.h"
#include "SessionTracker.h"
#include "TemporaryHome.h"
#include "TwoSessions.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>
#include <algorithm>
#include <functional>
#include <gtest/gtest.h>
#include <optional>
#include <regex>

using RunWatching::record;
using Step = TwoSessions::Step;

namespace {

std::string describe(const AvatarState& state) {
    return QString::fromUtf8(state.encode()).toStdString();
}

} // namespace

// While A waits on its permission prompt and B runs one command after another, the pet shows A
// waiting the whole time. Once both turns end it shows the wave of the session that finished last,
// each with the recap of its own commands; once both quit, nothing is left of them.
TEST(SessionsCli, TheWaitingSessionStaysShownWhileAnotherWorks) {
    if (const std::string why = TwoSessions::unavailable(); !why.empty()) {
        GTEST_SKIP() << why;
    }
    TemporaryHome home;
    TwoSessions sessions(home.root() + "/run");
    QtScheduler scheduler;
    SessionTracker tracker(scheduler,
                           {FileEventSources::create, std::chrono::milliseconds(1000), {}});
    tracker.start();

    const QString a = QString::fromStdString(sessions.a().id);
    std::optional<Step> step;
    int samples = 0;
    std::string hidden;
    TwoSessions::Options options = RunWatching::sampleWhileBWorks(step, [&] {
        ++samples;
        const AvatarState& shown = tracker.shownState();
        if (hidden.empty() &&
            (shown.sessionId != a || shown.state != "waiting" || tracker.count() != 2)) {
            hidden = describe(shown) + " with " + std::to_string(tracker.count()) +
                     " sessions after " + std::to_string(samples) + " samples";
        }
    });
    std::optional<QJsonObject> finishedA;
    std::optional<QJsonObject> finishedB;
    AvatarState shownAtEnd;
    std::optional<SessionTracker::Recap> recapAtEnd;
    options.reached = [&](Step reached) {
        step = reached;
        if (reached == Step::bothFinished) {
            finishedA = record(sessions.a());
            finishedB = record(sessions.b());
            // Once the tracker has taken in both waves.
            static_cast<void>(QTest::qWaitFor(
                [&] {
                    const auto& live = tracker.sessions();
                    return live.size() == 2 &&
                           std::all_of(live.begin(), live.end(),
                                       [](const auto& s) { return s.state.state == "waving"; });
                },
                10000));
            shownAtEnd = tracker.shownState();
            recapAtEnd = tracker.lastRecap();
        }
    };
    ASSERT_TRUE(sessions.run(options)) << sessions.failure();
    EXPECT_GT(samples, 100);
    EXPECT_EQ(hidden, "") << "A's waiting was hidden";

    // Each session counted its own commands: A its one, B every call the fake asked for.
    ASSERT_TRUE(finishedA && finishedB);
    EXPECT_EQ(finishedA->value("recap").toString(), "🔧 1コマンド");
    const std::string recapB = finishedB->value("recap").toString().toStdString();
    std::smatch count;
    ASSERT_TRUE(std::regex_match(recapB, count, std::regex("🔧 (\\d+)コマンド"))) << recapB;
    EXPECT_GE(std::stoi(count[1]), 5) << "B ran commands for the whole wait";

    // What the pet showed once both had finished: the later wave, with its recap kept.
    const QJsonObject& last =
        finishedA->value("updatedAt").toInteger() > finishedB->value("updatedAt").toInteger()
            ? *finishedA
            : *finishedB;
    EXPECT_EQ(shownAtEnd.sessionId.value_or(""), last.value("sessionId").toString());
    EXPECT_EQ(shownAtEnd.state, "waving");
    ASSERT_TRUE(recapAtEnd);
    EXPECT_EQ(recapAtEnd->text, last.value("recap").toString());

    // Both quit: their records are gone and the pet rests with the last goodbye.
    static_cast<void>(QTest::qWaitFor([&] { return tracker.count() == 0; }, 10000));
    EXPECT_EQ(tracker.count(), 0);
    EXPECT_EQ(tracker.shownState().state, "idle") << describe(tracker.shownState());
}

// Two real Claude Code sessions at once, watched through the pet window of the app as it is wired
// for the desktop: what the pet shows is read from the window's title, as assistive technology
// and the outside world read it.
#include "AppDelegate.h"
#include "AvatarView.h"
#include "AvatarWindow.h"
#include "FakePlatform.h"
#include "FileEventSources.h"
#include "PetWindowController.h"
#include "QtScheduler.h"
#include "RunWatching.h"
#include "TemporaryHome.h"
#include "TwoSessions.h"

#include <QCoreApplication>
#include <QJsonObject>
#include <QSettings>
#include <QTest>
#include <gtest/gtest.h>
#include <optional>

using RunWatching::record;
using Step = TwoSessions::Step;

// A waits on its permission prompt while B runs one command after another: the pet's title names
// A and its waiting the whole time. Once both turns end, the pet shows the wave of the session
// that finished last and greets with that session's recap; once both quit, no session is
// counted or named.
TEST(SessionsGuiCli, TheTitleShowsTheWaitingSessionWhileAnotherWorksThenTheLastRecap) {
    if (const std::string why = TwoSessions::unavailable(); !why.empty()) {
        GTEST_SKIP() << why;
    }
    TemporaryHome home;
    TwoSessions sessions(home.root() + "/run");
    // The link is the harness's; the app must not start one of its own.
    QSettings().setValue("didAttemptInitialLink", true);
    // The pet must learn of each hook run at once, as on the desktop, not at the next poll.
    FakePlatform platform;
    platform.fileEvents = FileEventSources::create;
    QtScheduler clock;
    AppDelegate app(platform, clock);
    app.launch();
    AvatarWindow& window = *app.petWindow().window();
    const auto title = [&] {
        return window.windowTitle();
    };

    const QString waitingA =
        QStringLiteral("Mofli — %1 · 入力が必要: ").arg(QString::fromStdString(sessions.a().name));
    std::optional<Step> step;
    int samples = 0;
    QString hidden;
    TwoSessions::Options options = RunWatching::sampleWhileBWorks(step, [&] {
        ++samples;
        if (hidden.isEmpty() && !title().startsWith(waitingA)) {
            hidden = title() + QStringLiteral(" after %1 samples").arg(samples);
        }
    });
    QString waveTitle;
    QString expectedWave;
    QString greeting;
    QString expectedGreeting;
    options.reached = [&](Step reached) {
        step = reached;
        if (reached != Step::bothFinished) {
            return;
        }
        const QJsonObject a = record(sessions.a());
        const QJsonObject b = record(sessions.b());
        const bool aLast = a.value("updatedAt").toInteger() > b.value("updatedAt").toInteger();
        const QJsonObject& last = aLast ? a : b;
        const std::string& project = aLast ? sessions.a().name : sessions.b().name;
        expectedWave = QStringLiteral("Mofli — %1: %2")
                           .arg(QString::fromStdString(project), last.value("message").toString());
        static_cast<void>(QTest::qWaitFor([&] { return title() == expectedWave; }, 10000));
        waveTitle = title();
        // What the idle monitor does when the user comes back, once the wave has played.
        expectedGreeting = "Mofli — おつかれ: " + last.value("recap").toString();
        static_cast<void>(QTest::qWaitFor(
            [&] {
                window.replayRecap();
                return title() == expectedGreeting;
            },
            10000));
        greeting = title();
    };
    ASSERT_TRUE(sessions.run(options)) << sessions.failure();
    EXPECT_GT(samples, 100);
    EXPECT_EQ(hidden.toStdString(), "") << "A's waiting was hidden";
    EXPECT_EQ(waveTitle.toStdString(), expectedWave.toStdString());
    EXPECT_EQ(greeting.toStdString(), expectedGreeting.toStdString());
    EXPECT_TRUE(expectedGreeting.contains("コマンド")) << expectedGreeting.toStdString();

    // Both quit: no session is counted or named any more.
    AvatarView& view = *window.avatarView();
    EXPECT_TRUE(QTest::qWaitFor([&] { return view.sessionCount() == 0; }, 10000));
    for (const auto* session : {&sessions.a(), &sessions.b()}) {
        EXPECT_FALSE(title().contains(QString::fromStdString(session->name)))
            << title().toStdString();
    }
    EXPECT_EQ(window.accessibleName(), title());
}

#include "FileEventSources.h"
#include "HomeFixture.h"
#include "QtPrinting.h"
#include "SessionTracker.h"
#include "StateFileContract.h"
#include "VirtualScheduler.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDateTime>
#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>
#include <QThread>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

// Which process a record names.
enum class Process {
    none,    // the hook found none
    running, // a child of the test that runs on
    ended,   // a child of the test that has exited
    newcomer // the running child, but the record predates its start: the id was used again
};

struct Session {
    const char* project;
    const char* state;
    double ageSeconds;
    Process process = Process::running;
    const char* recap = nullptr;
};

class SessionTrackerTest : public HomeFixture {
protected:
    void SetUp() override {
        HomeFixture::SetUp();
        running.start(QStringLiteral("sleep"), {QStringLiteral("600")});
        ASSERT_TRUE(running.waitForStarted());
        QProcess ended;
        ended.start(QStringLiteral("true"), {});
        ASSERT_TRUE(ended.waitForStarted());
        endedPid = ended.processId();
        ASSERT_TRUE(ended.waitForFinished());
        // The records' clock starts after the children did, as a Claude Code process starts
        // before the hook writes its first record.
        QThread::msleep(20);
        epoch = QDateTime::currentMSecsSinceEpoch();
    }

    void TearDown() override {
        tracker.reset();
        running.kill();
        running.waitForFinished();
        HomeFixture::TearDown();
    }

    qint64 wallNow() const { return epoch + qint64(clock.now() * 1000); }

    QString recordPath(const char* project) const {
        const QByteArray hash =
            QCryptographicHash::hash(QByteArray("session-") + project, QCryptographicHash::Sha1);
        return home() + "/.claude/mofli/sessions/" + hash.toHex() + ".json";
    }

    static QJsonObject body(const Session& session) {
        QJsonObject object{
            {"state", session.state},
            {"message", QStringLiteral("%1 says %2").arg(session.project, session.state)},
            {"sessionId", QStringLiteral("session-") + session.project},
            {"cwd", QStringLiteral("/work/") + session.project},
            {"tty", QStringLiteral("/dev/pts/9")}};
        if (session.recap) {
            object.insert("recap", session.recap);
        }
        return object;
    }

    // Like the hook: the session's record first, then the state file, each swapped into place.
    void write(const Session& session) {
        QJsonObject record = body(session);
        record.insert("updatedAt", wallNow() - qint64(session.ageSeconds * 1000));
        switch (session.process) {
        case Process::running:
            record.insert("pid", running.processId());
            break;
        case Process::newcomer:
            record.insert("updatedAt", wallNow() - 600'000);
            record.insert("pid", running.processId());
            break;
        case Process::ended:
            record.insert("pid", endedPid);
            break;
        case Process::none:
            break;
        }
        replace(recordPath(session.project), QJsonDocument(record).toJson());
        writeStateFile(body(session));
    }

    void writeStateFile(const QJsonObject& state) {
        replace(home() + "/.claude/mofli/state.json", QJsonDocument(state).toJson());
    }

    void replace(const QString& path, const QByteArray& contents) {
        writeFile(path + ".tmp", contents);
        ASSERT_EQ(std::rename(QFile::encodeName(path + ".tmp").constData(),
                              QFile::encodeName(path).constData()),
                  0);
    }

    void startTracker() {
        tracker = std::make_unique<SessionTracker>(
            clock, SessionTracker::Options{FileEventSources::create, std::chrono::milliseconds(100),
                                           [this] {
                                               return wallNow();
                                           }});
        shown = std::make_unique<QSignalSpy>(tracker.get(), &SessionTracker::shownStateChanged);
        tracker->start();
    }

    QStringList projects() const {
        QStringList names;
        for (const SessionRecord& session : tracker->sessions()) {
            names << session.project();
        }
        return names;
    }

    QString shownProject() const {
        return tracker->shownState().cwd.value_or(QString()).section('/', -1);
    }

    VirtualScheduler clock;
    qint64 epoch = 0;
    QProcess running;
    qint64 endedPid = 0;
    std::unique_ptr<SessionTracker> tracker;
    std::unique_ptr<QSignalSpy> shown;
};

struct Choice {
    const char* name;
    std::vector<Session> sessions;
    // The live sessions, the shown one first.
    QStringList live;
    // Records the app deletes.
    QStringList deleted = {};
    const char* recap = nullptr;
    // Whose words the state file holds in the end, when not the latest session's: two hook runs
    // at once may replace it in another order than their records.
    const char* stateFileFrom = nullptr;
};

} // namespace

// The pet's choice among the records found at start: urgency, then recency, and only sessions
// whose process runs or, without a process, that wrote within half an hour.
TEST_F(SessionTrackerTest, ShowsTheMostUrgentLiveSession) {
    const std::vector<Choice> choices = {
        {"waiting before newer work",
         {{"alpha", "waiting", 4}, {"beta", "running", 1}, {"gamma", "review", 0}},
         {"alpha", "gamma", "beta"}},
        {"failed before work, work before a wave",
         {{"alpha", "running", 1},
          {"beta", "failed", 3},
          {"gamma", "waving", 0, Process::running, "🔧 2コマンド"}},
         {"beta", "alpha", "gamma"},
         {},
         "🔧 2コマンド"},
        {"a wave before idle",
         {{"alpha", "idle", 0}, {"beta", "waving", 3, Process::running, "🔧 5コマンド"}},
         {"beta", "alpha"},
         {},
         "🔧 5コマンド"},
        {"the recap of the session that finished last, though the other replaced the state "
         "file after it",
         {{"alpha", "waving", 1, Process::running, "🔧 1コマンド"},
          {"beta", "waving", 4, Process::running, "🔧 5コマンド"}},
         {"alpha", "beta"},
         {},
         "🔧 1コマンド",
         "beta"},
        {"among equals the most recent",
         {{"alpha", "running", 3}, {"beta", "running", 1}, {"gamma", "running", 2}},
         {"beta", "gamma", "alpha"}},
        {"an ended process takes its record along",
         {{"alpha", "waiting", 1, Process::ended}, {"beta", "idle", 2}},
         {"beta"},
         {"alpha"}},
        {"a process id given to a newcomer",
         {{"alpha", "waiting", 1, Process::newcomer}, {"beta", "running", 2}},
         {"beta"},
         {"alpha"}},
        {"without a process: live for half an hour, then passed over but kept",
         {{"alpha", "waiting", 29 * 60, Process::none},
          {"beta", "failed", 31 * 60, Process::none},
          {"gamma", "idle", 0}},
         {"alpha", "gamma"}},
    };
    for (const Choice& choice : choices) {
        SCOPED_TRACE(choice.name);
        tracker.reset();
        ASSERT_TRUE(QDir(home() + "/.claude").removeRecursively());
        // In the order the hook would have written them: the state file holds the latest.
        std::vector<Session> byAge = choice.sessions;
        std::stable_sort(byAge.begin(), byAge.end(), [](const Session& a, const Session& b) {
            return a.ageSeconds > b.ageSeconds;
        });
        for (const Session& session : byAge) {
            write(session);
        }
        for (const Session& session : choice.sessions) {
            if (choice.stateFileFrom && QLatin1String(session.project) == choice.stateFileFrom) {
                writeStateFile(body(session));
            }
        }
        startTracker();
        EXPECT_EQ(projects(), choice.live);
        EXPECT_EQ(tracker->count(), choice.live.size());
        EXPECT_EQ(shown->size(), 1);
        EXPECT_EQ(tracker->shownState(), tracker->sessions().front().state);
        EXPECT_EQ(shownProject(), choice.live.front());
        for (const Session& session : choice.sessions) {
            EXPECT_EQ(QFile::exists(recordPath(session.project)),
                      !choice.deleted.contains(session.project))
                << session.project;
        }
        EXPECT_EQ(tracker->lastRecap() ? tracker->lastRecap()->text : QString(),
                  choice.recap ? QString(choice.recap) : QString());
    }
}

// Sessions come, change, wait, lose their process, end and go stale while the tracker runs.
TEST_F(SessionTrackerTest, FollowsSessionsAsTheyComeAndGo) {
    write({"alpha", "waiting", 0});
    startTracker();
    ASSERT_EQ(shownProject(), "alpha");

    // Another session working does not hide the one waiting, nor show it again.
    write({"beta", "running", 0, Process::none});
    ASSERT_TRUE(QTest::qWaitFor([&] { return tracker->count() == 2; }));
    write({"beta", "review", 0, Process::none});
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return tracker->sessions().back().state.state == "review"; }));
    EXPECT_EQ(shown->size(), 1);
    EXPECT_EQ(shownProject(), "alpha");

    // The waiting session's Claude Code goes away without a word: the next check finds out.
    running.kill();
    ASSERT_TRUE(running.waitForFinished());
    clock.advance(SessionTracker::checkSeconds - 0.1);
    EXPECT_EQ(shownProject(), "alpha");
    clock.advance(0.1);
    EXPECT_EQ(projects(), QStringList{"beta"});
    EXPECT_FALSE(QFile::exists(recordPath("alpha")));
    EXPECT_EQ(shownProject(), "beta");

    // The last session ends: its record goes and the state file's goodbye shows, recap and all.
    ASSERT_TRUE(QFile::remove(recordPath("beta")));
    writeStateFile({{"state", "idle"},
                    {"message", "おつかれ〜"},
                    {"recap", "🔧 3コマンド"},
                    {"sessionId", "session-beta"},
                    {"cwd", "/work/beta"}});
    ASSERT_TRUE(QTest::qWaitFor([&] { return tracker->count() == 0; }));
    EXPECT_EQ(tracker->shownState().message, QStringLiteral("おつかれ〜"));
    ASSERT_TRUE(tracker->lastRecap());
    EXPECT_EQ(tracker->lastRecap()->text, "🔧 3コマンド");
    EXPECT_EQ(tracker->lastRecap()->project, "beta");

    // A session whose process the hook could not find shows for half an hour after its last
    // word; then the state file, which it wrote, says nothing true any more.
    write({"gamma", "running", 0, Process::none});
    ASSERT_TRUE(QTest::qWaitFor([&] { return shownProject() == "gamma"; }));
    clock.advance(SessionRecord::unprovenLifetimeMs / 1000.0 - SessionTracker::checkSeconds);
    EXPECT_EQ(tracker->count(), 1);
    clock.advance(SessionTracker::checkSeconds);
    EXPECT_EQ(tracker->count(), 0);
    EXPECT_EQ(tracker->shownState(), *AvatarState::decode(StateFileContract::idleDefault.data()));
    EXPECT_TRUE(QFile::exists(recordPath("gamma")));
}

// With a hook from before the records there is no sessions folder: every version of the state
// file shows as it is, repeats included, as it always did.
TEST_F(SessionTrackerTest, WithoutTheFolderTheStateFileRulesAsBefore) {
    const QJsonObject running{{"state", "running"}, {"message", "$ make"}, {"sessionId", "s"}};
    writeStateFile(running);
    startTracker();
    EXPECT_EQ(tracker->shownState().message, QStringLiteral("$ make"));
    EXPECT_EQ(tracker->count(), 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return shown->size() >= 2; }))
        << "the poll's repeat comes through";
    const auto deliveries = shown->size();
    clock.advance(SessionTracker::checkSeconds);
    EXPECT_EQ(shown->size(), deliveries);
    writeStateFile({{"state", "waving"}, {"message", "done"}, {"recap", "🔧 1コマンド"}});
    ASSERT_TRUE(QTest::qWaitFor([&] { return tracker->shownState().state == "waving"; }));
    EXPECT_EQ(tracker->lastRecap()->text, "🔧 1コマンド");
    EXPECT_FALSE(QFileInfo::exists(home() + "/.claude/mofli/sessions"));
}

#include "FileEventSources.h"
#include "HomeFixture.h"
#include "StateWatcher.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace std::chrono_literals;

namespace {

constexpr auto timeout = 10s;
constexpr char idleDefault[] = R"({"state":"idle","message":null})";

// Collects deliveries from any thread and lets the test wait for one that matches.
class Deliveries {
public:
    void operator()(const AvatarState& state) {
        std::lock_guard lock(mutex_);
        states_.push_back(state);
        threads_.push_back(std::this_thread::get_id());
        changed_.notify_all();
    }

    template <typename Predicate> bool waitFor(Predicate predicate) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, timeout,
                                 [&] { return !states_.empty() && predicate(states_); });
    }

    bool waitForMessage(const QString& message) {
        return waitFor([&](const std::vector<AvatarState>& states) {
            return std::any_of(states.begin(), states.end(),
                               [&](const AvatarState& state) { return state.message == message; });
        });
    }

    bool waitForCount(size_t count) {
        return waitFor(
            [&](const std::vector<AvatarState>& states) { return states.size() >= count; });
    }

    std::vector<AvatarState> states() {
        std::lock_guard lock(mutex_);
        return states_;
    }

    std::vector<std::thread::id> threads() {
        std::lock_guard lock(mutex_);
        return threads_;
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<AvatarState> states_;
    std::vector<std::thread::id> threads_;
};

class StateWatcherTest : public HomeFixture {
protected:
    std::unique_ptr<StateWatcher> makeWatcher(bool useEventSource,
                                              std::chrono::milliseconds pollInterval = 20ms) {
        return std::make_unique<StateWatcher>(
            [this](const AvatarState& state) { deliveries(state); },
            StateWatcher::Options{{},
                                  useEventSource
                                      ? FileEventSource::Factory(FileEventSources::create)
                                      : FileEventSource::Factory(),
                                  pollInterval});
    }

    QString stateFile() const { return home() + "/.claude/mofli/state.json"; }

    static QByteArray stateWithMessage(const QString& message) {
        AvatarState state = *AvatarState::decode(R"({"state":"running"})");
        state.message = message;
        return state.encode();
    }

    // Like the hook: a temporary file renamed over the state file.
    void replace(const QByteArray& contents) {
        writeFile(stateFile() + ".tmp", contents);
        ASSERT_TRUE(std::rename(QFile::encodeName(stateFile() + ".tmp").constData(),
                                QFile::encodeName(stateFile()).constData()) == 0);
    }

    Deliveries deliveries;
};

} // namespace

TEST_F(StateWatcherTest, StartWritesTheIdleDefaultAndDeliversAtOnceAndAgainByPoll) {
    auto watcher = makeWatcher(false);
    EXPECT_EQ(watcher->filePath(), stateFile());
    EXPECT_TRUE(QFileInfo(QFileInfo(stateFile()).path()).isDir());
    EXPECT_FALSE(QFileInfo::exists(stateFile()));

    watcher->start();
    EXPECT_EQ(readFile(stateFile()), QByteArray(idleDefault));
    ASSERT_EQ(deliveries.states().size(), 1u);
    EXPECT_EQ(deliveries.states()[0], *AvatarState::decode(idleDefault));
    EXPECT_EQ(deliveries.threads()[0], std::this_thread::get_id());

    ASSERT_TRUE(deliveries.waitForCount(2));
    EXPECT_EQ(deliveries.states()[1], *AvatarState::decode(idleDefault));
    EXPECT_NE(deliveries.threads()[1], std::this_thread::get_id());
    EXPECT_EQ(QDir(QFileInfo(stateFile()).path()).entryList(QDir::Files),
              QStringList{"state.json"});
}

TEST_F(StateWatcherTest, StartLeavesAnExistingFileAlone) {
    const QByteArray contents = stateWithMessage("kept") + "\n";
    writeFile(stateFile(), contents);
    const QDateTime modified = QFileInfo(stateFile()).lastModified();

    auto watcher = makeWatcher(true);
    watcher->start();
    EXPECT_EQ(readFile(stateFile()), contents);
    EXPECT_EQ(QFileInfo(stateFile()).lastModified(), modified);
    ASSERT_EQ(deliveries.states().size(), 1u);
    EXPECT_EQ(deliveries.states()[0].message, QStringLiteral("kept"));
}

TEST_F(StateWatcherTest, EventSourceSeesEveryReplacementAtOnce) {
    // A poll that never ticks during the test: only the event source can deliver.
    auto watcher = makeWatcher(true, 1h);
    watcher->start();
    for (const char* message : {"one", "two", "three"}) {
        replace(stateWithMessage(message));
        EXPECT_TRUE(deliveries.waitForMessage(message)) << message;
    }
    writeFile(stateFile(), stateWithMessage("in place"));
    EXPECT_TRUE(deliveries.waitForMessage("in place"));
}

TEST_F(StateWatcherTest, PollAloneSeesReplacementsAndSkipsGarbage) {
    auto watcher = makeWatcher(false);
    watcher->start();
    replace("{not json");
    replace(R"({"state":"idle","message":5})");
    replace(stateWithMessage("valid"));
    ASSERT_TRUE(deliveries.waitForMessage("valid"));
    for (const AvatarState& state : deliveries.states()) {
        EXPECT_TRUE(state.message == std::nullopt || state.message == "valid");
    }
}

TEST_F(StateWatcherTest, PollTellsVersionsWithTheSameModificationTimeApart) {
    const timespec sameTimes[2] = {{1700000000, 5000}, {1700000000, 5000}};
    const auto stampFile = [&] {
        ASSERT_EQ(utimensat(AT_FDCWD, QFile::encodeName(stateFile()).constData(), sameTimes, 0), 0);
    };
    writeFile(stateFile(), stateWithMessage("first"));
    stampFile();
    auto watcher = makeWatcher(false);
    watcher->start();
    ASSERT_TRUE(deliveries.waitForCount(2));

    replace(stateWithMessage("second, longer"));
    stampFile();
    EXPECT_TRUE(deliveries.waitForMessage("second, longer"));
}

TEST_F(StateWatcherTest, DeletionRecreatesTheIdleDefault) {
    writeFile(stateFile(), stateWithMessage("before"));
    auto watcher = makeWatcher(true, 1h);
    watcher->start();

    ASSERT_TRUE(QFile::remove(stateFile()));
    ASSERT_TRUE(
        deliveries.waitFor([](const auto& states) { return states.back().state == "idle"; }));
    EXPECT_EQ(readFile(stateFile()), QByteArray(idleDefault));

    replace(stateWithMessage("after"));
    EXPECT_TRUE(deliveries.waitForMessage("after"));
}

TEST_F(StateWatcherTest, ADanglingLinkCountsAsMissing) {
    ASSERT_TRUE(QDir().mkpath(QFileInfo(stateFile()).path()));
    ASSERT_TRUE(QFile::link(path("nowhere/state.json"), stateFile()));
    auto watcher = makeWatcher(false);
    watcher->start();
    EXPECT_FALSE(QFileInfo(stateFile()).isSymLink());
    EXPECT_EQ(readFile(stateFile()), QByteArray(idleDefault));
    ASSERT_EQ(deliveries.states().size(), 1u);
    EXPECT_EQ(deliveries.states()[0].state, "idle");
}

TEST_F(StateWatcherTest, ALinkToAStateIsFollowedAndKept) {
    const QString target = path("elsewhere/state.json");
    writeFile(target, stateWithMessage("linked"));
    ASSERT_TRUE(QDir().mkpath(QFileInfo(stateFile()).path()));
    ASSERT_TRUE(QFile::link(target, stateFile()));
    auto watcher = makeWatcher(false);
    watcher->start();
    EXPECT_TRUE(QFileInfo(stateFile()).isSymLink());
    ASSERT_EQ(deliveries.states().size(), 1u);
    EXPECT_EQ(deliveries.states()[0].message, QStringLiteral("linked"));
}

TEST_F(StateWatcherTest, NothingIsDeliveredAfterDestruction) {
    auto alive = std::make_shared<std::atomic<bool>>(true);
    auto late = std::make_shared<std::atomic<int>>(0);
    auto watcher = std::make_unique<StateWatcher>(
        [alive, late](const AvatarState&) {
            if (!*alive) {
                ++*late;
            }
        },
        StateWatcher::Options{{}, FileEventSources::create, 1ms});
    watcher->start();
    replace(stateWithMessage("while alive"));
    watcher.reset();
    *alive = false;

    // A second watcher proves that later changes did produce events and poll ticks.
    auto witness = makeWatcher(true, 1ms);
    witness->start();
    for (const char* message : {"after", "later", "last"}) {
        replace(stateWithMessage(message));
        ASSERT_TRUE(deliveries.waitForMessage(message));
    }
    EXPECT_EQ(*late, 0);
}

// The watcher recreates a missing folder at any moment, so the test moves folders rather than
// removing them, which would race with it.
TEST_F(StateWatcherTest, EventSourceFollowsThePathWhenTheFolderOrOneAboveMoves) {
    auto watcher = makeWatcher(true, 1h);
    watcher->start();
    const QString folder = QFileInfo(stateFile()).path();
    const QString claude = home() + "/.claude";

    ASSERT_TRUE(QDir().rename(folder, folder + "-old"));
    replace(stateWithMessage("folder renamed"));
    EXPECT_TRUE(deliveries.waitForMessage("folder renamed"));

    ASSERT_TRUE(QDir().rename(claude, claude + "-old"));
    replace(stateWithMessage("parent renamed"));
    EXPECT_TRUE(deliveries.waitForMessage("parent renamed"));

    ASSERT_TRUE(QDir().rename(claude + "-old", claude + "-older"));
    replace(stateWithMessage("still followed"));
    EXPECT_TRUE(deliveries.waitForMessage("still followed"));
}

TEST_F(StateWatcherTest, FilesFarLargerThanTheHookWritesAreSkipped) {
    const QByteArray small = stateWithMessage("small");
    const QByteArray atLimit =
        stateWithMessage(QString(1'048'576 - small.size() + 5, QLatin1Char('x')));
    ASSERT_EQ(atLimit.size(), 1'048'576);
    writeFile(stateFile(), atLimit + " ");
    auto watcher = makeWatcher(true, 20ms);
    watcher->start();
    EXPECT_TRUE(deliveries.states().empty()) << "a valid state one byte over the limit";

    replace(atLimit);
    ASSERT_TRUE(deliveries.waitForCount(1));
    EXPECT_EQ(deliveries.states()[0].message->size(), 1'048'576 - small.size() + 5);
    replace(stateWithMessage(QString(5'000'000, QLatin1Char('x'))));
    replace(small);
    ASSERT_TRUE(deliveries.waitForMessage("small"));
    for (const AvatarState& state : deliveries.states()) {
        EXPECT_LE(state.message->size(), 1'048'576);
    }
}

TEST_F(StateWatcherTest, TheIdleDefaultIsOwnerOnlyAndNeverWrittenThroughAPlantedLink) {
    const mode_t previousMask = umask(022);
    const QString victim = path("victim");
    writeFile(victim, "precious");
    const QString folder = QFileInfo(stateFile()).path();
    auto watcher = makeWatcher(false);
    // The temporary name the watcher of this process once used.
    const QString planted = stateFile() + ".idle." + QString::number(getpid());
    ASSERT_EQ(link(QFile::encodeName(victim).constData(), QFile::encodeName(planted).constData()),
              0);
    watcher->start();
    umask(previousMask);
    EXPECT_EQ(readFile(victim), "precious");
    EXPECT_EQ(readFile(stateFile()), QByteArray(idleDefault));

    const auto permissions = [](const QString& file) {
        struct stat info {};
        lstat(QFile::encodeName(file).constData(), &info);
        return info.st_mode & 07777;
    };
    EXPECT_EQ(permissions(stateFile()), 0600u);
    EXPECT_EQ(permissions(folder), 0700u);
    EXPECT_EQ(permissions(home() + "/.claude"), 0700u);
}

// The guard that keeps one pet per home, against another local user and against a flood on its
// socket.
#include "HomeFixture.h"
#include "OtherUser.h"
#include "SavedEnvironment.h"
#include "SingleInstance.h"
#include "UnixSockets.h"

#include <QCryptographicHash>
#include <QSignalSpy>
#include <QTest>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <future>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace {

class SingleInstanceTest : public HomeFixture {
protected:
    void SetUp() override {
        HomeFixture::SetUp();
        qunsetenv("XDG_RUNTIME_DIR");
    }

    // Whether the peer has closed `fd`: it reads end-of-file or an error without waiting.
    static bool closedByPeer(int fd) {
        pollfd event{fd, POLLIN, 0};
        char byte = 0;
        return ::poll(&event, 1, 0) == 1 && ::recv(fd, &byte, 1, MSG_DONTWAIT) <= 0;
    }

    // A second start in a thread of its own, while this one serves the first: whether it found
    // the running pet.
    static std::optional<bool> secondStartFindsThePet() {
        auto second = std::async(std::launch::async, [] {
            SingleInstance again;
            return !again.claim();
        });
        if (!QTest::qWaitFor(
                [&] {
                    return second.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
                },
                10000)) {
            return std::nullopt;
        }
        return second.get();
    }

private:
    SavedEnvironment saved_{"TMPDIR", "XDG_RUNTIME_DIR"};
};

// A process of `user` listening at `socketPath` (the socket open to everyone, as a planted one
// would be); it writes a byte to `heard` for every connection it accepts.
std::unique_ptr<OtherUser::Process> listenAs(const OtherUser& user, const QString& socketPath,
                                             int heard) {
    const QByteArray name = QFile::encodeName(socketPath);
    return user.start([name, heard](int ready) {
        const int fd = UnixSockets::listenOn(name.constData());
        if (fd < 0 || ::chmod(name.constData(), 0777) != 0) {
            return;
        }
        (void)!::write(ready, "r", 1);
        for (;;) {
            if (::accept(fd, nullptr, nullptr) >= 0) {
                (void)!::write(heard, "c", 1);
            }
        }
    });
}

TEST_F(SingleInstanceTest, AnotherUsersSocketsNeitherStopThePetNorHearIt) {
    std::string why;
    const std::unique_ptr<OtherUser> other = OtherUser::create(why);
    if (!other) {
        GTEST_SKIP() << why;
    }
    // The other user may pass through the test's folder into a shared temporary folder, as into
    // /tmp.
    ASSERT_EQ(::chmod(QFile::encodeName(QFileInfo(home()).path()).constData(), 0711), 0);
    const QString shared = path("shared");
    ASSERT_TRUE(QDir().mkpath(shared));
    ASSERT_EQ(::chmod(QFile::encodeName(shared).constData(), 01777), 0);
    qputenv("TMPDIR", QFile::encodeName(shared));
    const QString socketName =
        "mofli-" +
        QCryptographicHash::hash(home().toUtf8(), QCryptographicHash::Sha1).toHex().left(16);
    const QString fallback = shared + "/mofli-" + QString::number(::geteuid());
    int heard[2];
    ASSERT_EQ(::pipe2(heard, O_NONBLOCK | O_CLOEXEC), 0);
    std::vector<std::unique_ptr<OtherUser::Process>> listeners;
    const auto listenIn = [&](const QString& folder) {
        listeners.push_back(listenAs(*other, folder + "/" + socketName, heard[1]));
        return listeners.back() != nullptr;
    };
    // Where the socket of a pet lay in the shared folder: a name anyone works out from the home.
    ASSERT_TRUE(listenIn(shared));
    const QString othersFolder = path("others");
    ASSERT_TRUE(QDir().mkpath(othersFolder));
    ASSERT_TRUE(other->own(QFile::encodeName(othersFolder).toStdString(), 0700));
    ASSERT_TRUE(listenIn(othersFolder));
    const QString ownFolder = path("own");
    ASSERT_TRUE(QDir().mkpath(ownFolder));
    ASSERT_EQ(::chmod(QFile::encodeName(ownFolder).constData(), 0700), 0);

    const struct {
        const char* name;
        std::optional<QString> runtimeDir;
        // Whether the other user made the folder the app falls back on, open to all, first.
        bool fallbackPlanted;
        // Whether a second start then finds the running pet.
        bool guarded;
    } cases[] = {
        {"a runtime folder everyone may write to", shared, false, true},
        {"a runtime folder of the other user", othersFolder, false, true},
        {"the user's own runtime folder", ownFolder, false, true},
        {"no runtime folder and the fallback taken", std::nullopt, true, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.runtimeDir) {
            qputenv("XDG_RUNTIME_DIR", QFile::encodeName(*c.runtimeDir));
        } else {
            qunsetenv("XDG_RUNTIME_DIR");
        }
        if (c.fallbackPlanted) {
            ASSERT_TRUE(QDir().mkpath(fallback));
            ASSERT_TRUE(other->own(QFile::encodeName(fallback).toStdString(), 0777));
            ASSERT_TRUE(listenIn(fallback));
        }
        SingleInstance running;
        ASSERT_TRUE(running.claim()) << "another user's socket stopped the pet";
        QSignalSpy told(&running, &SingleInstance::startedAgain);
        EXPECT_EQ(secondStartFindsThePet(), c.guarded);
        if (c.guarded) {
            EXPECT_TRUE(QTest::qWaitFor([&] { return told.count() == 1; }, 5000));
        }
        char byte = 0;
        EXPECT_EQ(::read(heard[0], &byte, 1), -1) << "the pet talked to another user's socket";
        if (!c.fallbackPlanted) {
            QDir(fallback).removeRecursively();
        }
    }
    ::close(heard[0]);
    ::close(heard[1]);
}

TEST_F(SingleInstanceTest, AFloodOrACrowdIsCutOffAndASecondStartStillGetsThrough) {
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(path("run")));
    ASSERT_TRUE(QDir().mkpath(path("run")));
    ASSERT_EQ(::chmod(QFile::encodeName(path("run")).constData(), 0700), 0);
    SingleInstance running;
    ASSERT_TRUE(running.claim());
    const std::optional<QString> socketPath = SingleInstance::socketPath();
    ASSERT_TRUE(socketPath);

    // Connections that never say anything, more than are served at once.
    std::vector<int> crowd;
    for (int i = 0; i < 4 * SingleInstance::maxConnections; ++i) {
        crowd.push_back(UnixSockets::connectTo(QFile::encodeName(*socketPath)));
        ASSERT_GE(crowd.back(), 0);
    }
    // And one that never stops sending.
    constexpr qint64 floodBytes = qint64(64) << 20;
    auto flood = std::async(std::launch::async, [&] {
        const int fd = UnixSockets::connectTo(QFile::encodeName(*socketPath));
        const std::vector<char> chunk(1 << 16, 'x');
        qint64 sent = 0;
        while (fd >= 0 && sent < floodBytes) {
            const ssize_t count = ::send(fd, chunk.data(), chunk.size(), MSG_NOSIGNAL);
            if (count <= 0) {
                break;
            }
            sent += count;
        }
        ::close(fd);
        return sent;
    });
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return flood.wait_for(std::chrono::seconds(0)) == std::future_status::ready; },
        SingleInstance::messageTimeoutMs + 10000));
    EXPECT_LT(flood.get(), floodBytes) << "the pet kept reading";
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            return std::all_of(crowd.begin(), crowd.end(), [](int fd) { return closedByPeer(fd); });
        },
        SingleInstance::messageTimeoutMs + 5000))
        << "silent connections are kept open";
    for (int fd : crowd) {
        ::close(fd);
    }

    QSignalSpy told(&running, &SingleInstance::startedAgain);
    EXPECT_EQ(secondStartFindsThePet(), true);
    EXPECT_TRUE(QTest::qWaitFor([&] { return told.count() == 1; }, 5000));
}

} // namespace

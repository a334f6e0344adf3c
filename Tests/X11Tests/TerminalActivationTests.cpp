// Terminal activation against real programs: xterm windows under openbox, shells in them, the
// real hook recording where it ran, and a tmux server.
#include "AppDelegate.h"
#include "AvatarState.h"
#include "AvatarView.h"
#include "AvatarWindow.h"
#include "OtherUser.h"
#include "PetWindowController.h"
#include "Platform.h"
#include "PlatformFactory.h"
#include "QtScheduler.h"
#include "SavedEnvironment.h"
#include "UnixSockets.h"
#include "X11Fixture.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSaveFile>
#include <QStandardPaths>
#include <QThread>
#include <QTimer>
#include <QWidget>
#include <QWindow>
#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <fcntl.h>
#include <memory>
#include <optional>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>
#include <vector>

namespace {

class TerminalActivationTest : public X11Fixture {
protected:
    // Starting programs on a loaded machine can take long; activation is held to the default.
    static constexpr int startTimeoutMs = 20000;

    void SetUp() override {
        X11Fixture::SetUp();
        if (IsSkipped()) {
            return;
        }
        if (QStandardPaths::findExecutable(QStringLiteral("xterm")).isEmpty()) {
            GTEST_SKIP() << "xterm is not installed (scripts/setup installs it)";
        }
        platform_ = PlatformFactory::create();
    }

    void TearDown() override {
        // Closing the terminals ends their shells; a tmux server outlives them.
        for (const auto& terminal : terminals_) {
            terminal->terminate();
            terminal->waitForFinished(2000);
        }
        terminals_.clear();
        if (usesTmux_) {
            tmux({QStringLiteral("kill-server")});
        }
        X11Fixture::TearDown();
    }

    // An xterm with instance name `name` running `command`; its window once the window manager
    // manages it, else None.
    Window startXterm(const QString& name, const QStringList& command) {
        auto process = std::make_unique<QProcess>();
        process->setProgram(QStringLiteral("xterm"));
        process->setArguments(QStringList{QStringLiteral("-name"), name, QStringLiteral("-e")} +
                              command);
        process->setStandardOutputFile(QProcess::nullDevice());
        process->setStandardErrorFile(QProcess::nullDevice());
        process->start();
        terminals_.push_back(std::move(process));
        Window window = None;
        settle(
            [&] {
                window = clientNamed(name);
                return window != None && activeWindow() == window;
            },
            startTimeoutMs);
        return window;
    }

    // An xterm whose shell first runs the hook, as Claude Code would, with `home` as its home
    // (one of its own unless given); the origin the hook recorded there.
    std::pair<Window, std::optional<TerminalOrigin>> startXtermWithHook(const QString& name,
                                                                        QString home = {}) {
        if (home.isEmpty()) {
            home = path(name);
        }
        const QString script = QStringLiteral(
            "echo '{\"session_id\":\"s\",\"tool_name\":\"Bash\",\"tool_input\":{\"command\":"
            "\"npm test\"}}' | HOME=\"$1\" \"$2\" PreToolUse; exec sh");
        const Window window =
            startXterm(name, {QStringLiteral("/bin/sh"), QStringLiteral("-c"), script,
                              QStringLiteral("sh"), home, QStringLiteral(MOFLI_HOOK_PATH)});
        // The app may have written its idle default there first.
        std::optional<AvatarState> state;
        settle(
            [&] {
                state = AvatarState::decode(readFile(home + "/.claude/mofli/state.json"));
                return state && state->tty;
            },
            startTimeoutMs);
        return {window, state ? state->terminalOrigin() : std::nullopt};
    }

    static Window activeWindow() {
        const std::vector<unsigned long> active =
            longs(DefaultRootWindow(display()), "_NET_ACTIVE_WINDOW", XA_WINDOW);
        return active.size() == 1 ? Window(active[0]) : None;
    }

    static Window clientNamed(const QString& name) {
        for (unsigned long client :
             longs(DefaultRootWindow(display()), "_NET_CLIENT_LIST", XA_WINDOW)) {
            XClassHint hint{};
            if (XGetClassHint(display(), Window(client), &hint) != 0) {
                const bool named = QString::fromLatin1(hint.res_name) == name;
                XFree(hint.res_name);
                XFree(hint.res_class);
                if (named) {
                    return Window(client);
                }
            }
        }
        return None;
    }

    static std::vector<unsigned long> longs(Window window, const char* property, Atom type) {
        Atom actualType = None;
        int format = 0;
        unsigned long count = 0, remaining = 0;
        unsigned char* data = nullptr;
        std::vector<unsigned long> values;
        if (XGetWindowProperty(display(), window, XInternAtom(display(), property, False), 0, 1024,
                               False, type, &actualType, &format, &count, &remaining,
                               &data) == Success &&
            data != nullptr) {
            const auto* items = reinterpret_cast<const unsigned long*>(data);
            values.assign(items, items + count);
        }
        if (data) {
            XFree(data);
        }
        return values;
    }

    static bool isIconic(Window window) {
        const std::vector<unsigned long> state =
            longs(window, "WM_STATE", XInternAtom(display(), "WM_STATE", False));
        return !state.empty() && state[0] == IconicState;
    }

    // Asks the platform to bring `origin`'s terminal forward; its answer.
    bool activate(const TerminalOrigin& origin) {
        std::optional<bool> answer;
        QObject context;
        platform_->activateTerminal(origin, &context, [&](bool activated) { answer = activated; });
        settle([&] { return answer.has_value(); }, startTimeoutMs);
        return answer.value_or(false);
    }

    // Asks `origin`'s terminal forward; whether the platform reported success and the window
    // manager then made `expected` the active window.
    testing::AssertionResult bringsForward(const TerminalOrigin& origin, Window expected) {
        if (!activate(origin)) {
            return testing::AssertionFailure() << "activateTerminal returned false";
        }
        if (!settle([&] { return activeWindow() == expected; })) {
            return testing::AssertionFailure()
                   << "active window " << activeWindow() << " instead of " << expected;
        }
        return testing::AssertionSuccess();
    }

    // Clicks the pet's bubble as the user would, once it shows `origin`.
    void clickBubble(const AvatarView* view, const TerminalOrigin& origin) {
        ASSERT_TRUE(settle([&] {
            return view->engine().sourceOrigin() == origin && !view->bubbleRect().isEmpty();
        }));
        // Where the X server has the bubble. Qt's own idea of where the window is can be out of
        // date: it asks for the position when the window manager reparents the window, and
        // openbox moves the frame to the asked-for place afterwards without telling the client,
        // so a click at the bubble as Qt sees it could land on the desktop.
        const QPoint inWindow = view->mapTo(view->window(), view->bubbleRect().center());
        int x = 0, y = 0;
        Window child = None;
        XTranslateCoordinates(display(), Window(view->window()->windowHandle()->winId()),
                              DefaultRootWindow(display()), inWindow.x(), inWindow.y(), &x, &y,
                              &child);
        QProcess::execute(QStringLiteral("xdotool"),
                          {"mousemove", QString::number(x), QString::number(y), "click", "1"});
    }

    // Points tmux, for the test and the app alike, at a folder of its own for its servers.
    void useTmuxFolder(const QString& folder) {
        ASSERT_TRUE(QDir().mkpath(folder));
        qputenv("TMUX_TMPDIR", QFile::encodeName(folder));
        // Inside another tmux, tmux would refuse to attach.
        qunsetenv("TMUX");
        usesTmux_ = true;
    }

    // Runs tmux on the test's server; its output without the final line feed.
    static QString tmux(const QStringList& arguments) {
        QProcess process;
        process.start(QStringLiteral("tmux"), arguments);
        process.waitForFinished(5000);
        return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
    }

    std::unique_ptr<Platform> platform_;

private:
    std::vector<std::unique_ptr<QProcess>> terminals_;
    bool usesTmux_ = false;
    SavedEnvironment saved_{"TMUX_TMPDIR", "TMUX", "PATH"};
};

TEST_F(TerminalActivationTest, TheXtermInWhichTheHookRanComesToTheFront) {
    const auto [first, firstOrigin] = startXtermWithHook("first");
    const auto [second, secondOrigin] = startXtermWithHook("second");
    ASSERT_NE(first, Window(None));
    ASSERT_NE(second, Window(None));
    ASSERT_TRUE(firstOrigin && firstOrigin->tty) << "the hook recorded no terminal";
    ASSERT_TRUE(secondOrigin && secondOrigin->tty);
    ASSERT_NE(firstOrigin->tty, secondOrigin->tty);
    // xterm announces its window to the programs it runs.
    EXPECT_EQ(firstOrigin->windowId, QString::number(first));
    EXPECT_TRUE(platform_->canActivateTerminal(*firstOrigin));

    EXPECT_TRUE(bringsForward(*firstOrigin, first));
    EXPECT_TRUE(bringsForward(*secondOrigin, second));

    // Each way of finding the window alone: the programs on the tty, and the window id.
    TerminalOrigin byTty = *firstOrigin;
    byTty.windowId.reset();
    EXPECT_TRUE(bringsForward(byTty, first));
    TerminalOrigin byWindow = *secondOrigin;
    byWindow.tty.reset();
    EXPECT_TRUE(bringsForward(byWindow, second));
    // A window id that names no terminal window leaves the tty to decide.
    TerminalOrigin staleWindow = *firstOrigin;
    staleWindow.windowId = QString::number(DefaultRootWindow(display()));
    EXPECT_TRUE(bringsForward(staleWindow, first));

    // A minimised terminal comes back.
    XIconifyWindow(display(), second, DefaultScreen(display()));
    ASSERT_TRUE(settle([&] { return isIconic(second); }));
    EXPECT_TRUE(bringsForward(*secondOrigin, second));
    EXPECT_FALSE(isIconic(second));
}

TEST_F(TerminalActivationTest, ClickingThePetsBubbleBringsTheHooksXtermForward) {
    if (QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty()) {
        GTEST_SKIP() << "xdotool is not installed (scripts/setup installs it)";
    }
    // The bubble shows above a pet; the home restores the variable.
    qputenv("MOFLI_PETS_DIR", MOFLI_BUILT_IN_PETS);
    QtScheduler clock;
    AppDelegate app(*platform_, clock);
    app.launch();
    const AvatarView* view = app.petWindow().window()->avatarView();
    // The hook writes the state file the app watches; then another terminal takes the focus.
    const auto [claude, origin] = startXtermWithHook("claude", home());
    ASSERT_TRUE(origin);
    const Window other = startXterm("other", {"/bin/sh"});
    ASSERT_NE(other, Window(None));
    clickBubble(view, *origin);
    EXPECT_TRUE(settle([&] { return activeWindow() == claude; }))
        << "active window " << activeWindow() << " instead of " << claude;
}

TEST_F(TerminalActivationTest, ATmuxPaneSelectsItsWindowAndRaisesTheXtermShowingIt) {
    for (const char* tool : {"tmux", "xdotool"}) {
        if (QStandardPaths::findExecutable(tool).isEmpty()) {
            GTEST_SKIP() << tool << " is not installed (scripts/setup installs it)";
        }
    }
    // A server of this test's own, where both tmux and the app look for servers.
    useTmuxFolder(path("t"));
    tmux({"new-session", "-d", "-s", "work", "/bin/sh"});
    tmux({"new-window", "-t", "work", "/bin/sh"});
    tmux({"select-window", "-t", "work:0"});
    const QString paneTty = tmux({"display-message", "-p", "-t", "work:1", "#{pane_tty}"});
    ASSERT_TRUE(paneTty.startsWith("/dev/")) << paneTty.toStdString();

    const Window attached = startXterm("attached", {"tmux", "attach-session", "-t", "work"});
    ASSERT_NE(attached, Window(None));
    ASSERT_TRUE(settle([&] { return !tmux({"list-clients"}).isEmpty(); }));
    const Window other = startXterm("other", {"/bin/sh"});
    ASSERT_NE(other, Window(None));
    const auto shownWindow = [&] {
        return tmux({"display-message", "-p", "-t", "work", "#{window_index}"});
    };
    ASSERT_EQ(shownWindow(), "0");

    // What the hook records in a pane: its tty, and the WINDOWID that tmux copied from whichever
    // terminal started the server, which need not show the pane.
    TerminalOrigin origin{std::nullopt, std::nullopt, paneTty, std::nullopt};
    origin.windowId = QString::number(other);
    EXPECT_TRUE(bringsForward(origin, attached));
    EXPECT_EQ(shownWindow(), "1");
    EXPECT_EQ(tmux({"display-message", "-p", "-t", "work", "#{pane_tty}"}), paneTty);

    // With two terminals attached to the session, the one the user was active in last shows the
    // pane. tmux counts activity in whole seconds.
    QThread::msleep(1100);
    const Window second = startXterm("second", {"tmux", "attach-session", "-t", "work"});
    ASSERT_NE(second, Window(None));
    ASSERT_TRUE(settle([&] { return tmux({"list-clients"}).count('\n') == 1; }));
    const auto focus = [&](Window window, const QStringList& keys = {}) {
        QProcess::execute(QStringLiteral("xdotool"),
                          QStringList{"windowactivate", "--sync", QString::number(window)} + keys);
        return settle([&] { return activeWindow() == window; });
    };
    ASSERT_TRUE(focus(other));
    EXPECT_TRUE(bringsForward(origin, second)) << "the terminal attached last";
    QThread::msleep(1100);
    ASSERT_TRUE(focus(attached, {"key", "space"}));
    ASSERT_TRUE(focus(other));
    EXPECT_TRUE(bringsForward(origin, attached)) << "the terminal typed in last";

    // Once the pane is gone, its tty names nothing.
    tmux({"kill-window", "-t", "work:1"});
    origin.windowId.reset();
    EXPECT_FALSE(activate(origin));
}

TEST_F(TerminalActivationTest, NothingToBringForwardReturnsFalse) {
    // With a terminal window about, the search really runs.
    ASSERT_NE(startXterm("bystander", {"/bin/sh"}), Window(None));
    // A terminal nobody has opened as a controlling terminal.
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_EQ(::grantpt(master), 0);
    ASSERT_EQ(::unlockpt(master), 0);
    const QString unused = QString::fromLocal8Bit(::ptsname(master));
    const QString notADevice = path("tty");
    writeFile(notADevice, "x");
    for (const QString& tty : {unused, notADevice, QString("/dev/../" + notADevice),
                               QString("/dev/pts/999999"), QString("pts/0"), QString()}) {
        TerminalOrigin origin{std::nullopt, std::nullopt, tty, std::nullopt};
        EXPECT_FALSE(activate(origin)) << tty.toStdString();
    }
    // The root, a window that does not exist, and what is no window id at all.
    for (const QString& windowId : {QString::number(DefaultRootWindow(display())), QString("12345"),
                                    QString("0x400000"), QString("-1"), QString()}) {
        TerminalOrigin origin;
        origin.windowId = windowId;
        EXPECT_FALSE(activate(origin)) << windowId.toStdString();
    }
    EXPECT_FALSE(platform_->canActivateTerminal(TerminalOrigin{"iTerm.app", "w0:A", "", "b"}));
    ::close(master);
}

TEST_F(TerminalActivationTest, AWindowIdCountsOnlyForTheSessionsOwnTerminal) {
    const auto [session, origin] = startXtermWithHook("session");
    ASSERT_TRUE(origin && origin->tty);
    const Window bystander = startXterm("bystander", {"/bin/sh"});
    ASSERT_NE(bystander, Window(None));
    // A window of a program that is no terminal: this test's own.
    QWidget notATerminal;
    notATerminal.resize(200, 100);
    notATerminal.show();
    const auto foreign = Window(notATerminal.winId());
    ASSERT_TRUE(settle([&] {
        const auto clients = longs(DefaultRootWindow(display()), "_NET_CLIENT_LIST", XA_WINDOW);
        return std::find(clients.begin(), clients.end(), foreign) != clients.end();
    }));

    // The state file is anyone's to write: a window id in it that is not the session's terminal
    // must not bring some other window back from the task bar.
    const struct {
        const char* name;
        std::optional<QString> tty;
        Window named;
        Window expected; // None: nothing is brought forward
    } cases[] = {
        {"the tty of one terminal and the window of another", origin->tty, bystander, session},
        {"no tty and the window of a program that is no terminal", std::nullopt, foreign, None},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        XIconifyWindow(display(), c.named, DefaultScreen(display()));
        ASSERT_TRUE(settle([&] { return isIconic(c.named); }));
        TerminalOrigin hostile{std::nullopt, std::nullopt, c.tty, std::nullopt};
        hostile.windowId = QString::number(c.named);
        if (c.expected == None) {
            EXPECT_FALSE(activate(hostile));
        } else {
            EXPECT_TRUE(bringsForward(hostile, c.expected));
        }
        EXPECT_TRUE(isIconic(c.named)) << "the named window came back";
    }
}

TEST_F(TerminalActivationTest, HungTmuxServersNeitherFreezeThePetNorIsAnyStrangerAsked) {
    for (const char* tool : {"tmux", "xdotool"}) {
        if (QStandardPaths::findExecutable(tool).isEmpty()) {
            GTEST_SKIP() << tool << " is not installed (scripts/setup installs it)";
        }
    }
    useTmuxFolder(path("t"));
    tmux({"new-session", "-d", "-s", "work", "/bin/sh"});
    const QString paneTty = tmux({"display-message", "-p", "-t", "work", "#{pane_tty}"});
    ASSERT_TRUE(paneTty.startsWith("/dev/")) << paneTty.toStdString();
    const Window attached = startXterm("attached", {"tmux", "attach-session", "-t", "work"});
    ASSERT_NE(attached, Window(None));
    ASSERT_TRUE(settle([&] { return !tmux({"list-clients"}).isEmpty(); }));
    ASSERT_NE(startXterm("other", {"/bin/sh"}), Window(None));

    // Ten servers that take connections and never answer, listed before the real one.
    const QString servers = path("t/tmux-") + QString::number(::geteuid());
    std::vector<int> sockets;
    for (int i = 0; i < 10; ++i) {
        sockets.push_back(UnixSockets::listenOn(
            QFile::encodeName(servers + QStringLiteral("/a-hung%1").arg(i)).constData()));
        ASSERT_GE(sockets.back(), 0);
    }
    // A socket of another user among the user's own, and a tmux of someone's on PATH.
    std::string why;
    const std::unique_ptr<OtherUser> other = OtherUser::create(why);
    const QByteArray strangers = QFile::encodeName(servers + "/a-stranger");
    const int stranger = other ? UnixSockets::listenOn(strangers.constData()) : -1;
    if (other) {
        ASSERT_GE(stranger, 0);
        ASSERT_TRUE(other->own(strangers.toStdString(), 0777));
    }
    // It does what tmux does, and tells that it ran.
    writeFile(path("bin/tmux"), "#!/bin/sh\ntouch \"$0.ran\"\nexec '" +
                                    QFile::encodeName(QStandardPaths::findExecutable("tmux")) +
                                    "' \"$@\"\n");
    ASSERT_TRUE(QFile::setPermissions(path("bin/tmux"), QFile::ReadOwner | QFile::ExeOwner));
    const QByteArray systemPath = qgetenv("PATH");
    qputenv("PATH", QFile::encodeName(path("bin")) + ":" + systemPath);

    qputenv("MOFLI_PETS_DIR", MOFLI_BUILT_IN_PETS);
    QtScheduler clock;
    AppDelegate app(*platform_, clock);
    app.launch();
    QSaveFile state(home() + "/.claude/mofli/state.json");
    ASSERT_TRUE(state.open(QIODevice::WriteOnly));
    state.write(R"({"state":"running","message":"$ npm test","tty":")" + paneTty.toUtf8() +
                R"("})");
    ASSERT_TRUE(state.commit());
    // The GUI thread's heartbeat while the click is answered.
    QElapsedTimer sinceBeat;
    sinceBeat.start();
    qint64 longestGap = 0;
    QTimer beat;
    QObject::connect(&beat, &QTimer::timeout,
                     [&] { longestGap = std::max(longestGap, sinceBeat.restart()); });
    beat.start(20);
    clickBubble(app.petWindow().window()->avatarView(),
                TerminalOrigin{std::nullopt, std::nullopt, paneTty, std::nullopt});
    QElapsedTimer sinceClick;
    sinceClick.start();
    sinceBeat.restart();
    longestGap = 0;
    EXPECT_TRUE(settle([&] { return activeWindow() == attached; }, 10000));
    EXPECT_LT(sinceClick.elapsed(), 3000) << "every server together is given a second";
    longestGap = std::max(longestGap, sinceBeat.elapsed());
    EXPECT_LT(longestGap, 500) << "the pet stood still while tmux was asked";
    qputenv("PATH", systemPath);
    EXPECT_FALSE(QFile::exists(path("bin/tmux.ran"))) << "a tmux found on PATH first was run";
    for (int fd : sockets) {
        ::close(fd);
    }
    if (other) {
        pollfd connection{stranger, POLLIN, 0};
        EXPECT_EQ(::poll(&connection, 1, 0), 0) << "another user's socket was asked";
        ::close(stranger);
    } else {
        GTEST_SKIP() << "asked no socket of another user: " << why;
    }
}

} // namespace

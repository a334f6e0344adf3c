#include "FakeClaude.h"
#include "HomeFixture.h"
#include "MofliLinkManager.h"
#include "Paths.h"
#include "PluginHooks.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <csignal>
#include <functional>
#include <sys/resource.h>
#include <thread>

namespace {

using namespace std::chrono_literals;

class MofliLinkManagerTest : public HomeFixture {
protected:
    void SetUp() override {
        HomeFixture::SetUp();
        fake_.emplace(path("fake"));
        qputenv("MOFLI_RESOURCE_DIR", QFile::encodeName(path("resources")));
        writeFile(bundled(".claude-plugin/plugin.json"), R"({"name":"mofli","version":"0.2.0"})");
        writeScript(bundled("hook/MofliHook"), "#!/bin/sh\n");
        // Nothing may find a real `claude` of the machine: not the usual places, which a Mac
        // with Homebrew fills, nor a login shell.
        qputenv("MOFLI_CLAUDE_PLACES", QFile::encodeName(home() + "/.local/bin/claude"));
        qputenv("MOFLI_CLAUDE_SHELL",
                QFile::encodeName(writeScript(path("shell/none"), "#!/bin/sh\nexit 1\n")));
    }

    void TearDown() override {
        fake_.reset();
        for (const char* name : {"MOFLI_RESOURCE_DIR", "MOFLI_CLAUDE_PLACES", "MOFLI_CLAUDE_SHELL",
                                 "SHELL", "FOUND"}) {
            qunsetenv(name);
        }
        HomeFixture::TearDown();
    }

    static QString writeScript(const QString& file, const QByteArray& body) {
        writeFile(file, body);
        QFile::setPermissions(file, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        return file;
    }

    QString installFake(const QString& relativeToHome = ".local/bin/claude") const {
        FakeClaude::installAt(home() + "/" + relativeToHome);
        return home() + "/" + relativeToHome;
    }

    const FakeClaude& fake() const { return *fake_; }
    QString bundled(const QString& relative) const {
        return path("resources/mofli-plugin/") + relative;
    }
    QString installed(const QString& relative = {}) const {
        return MofliLinkManager::installedPluginDir() + (relative.isEmpty() ? "" : "/" + relative);
    }
    QString deployedHooks() const {
        return QString::fromUtf8(readFile(installed("hooks/hooks.json")));
    }

private:
    std::optional<FakeClaude> fake_;
};

QString describe(const std::optional<LinkError>& error) {
    return error ? error->localizedDescription() : QStringLiteral("(linked)");
}

bool goneWithin(pid_t pid, std::chrono::milliseconds limit) {
    QElapsedTimer elapsed;
    elapsed.start();
    while (FakeClaude::runs(pid)) {
        if (elapsed.elapsed() > limit.count()) {
            return false;
        }
        std::this_thread::sleep_for(10ms);
    }
    return true;
}

TEST_F(MofliLinkManagerTest, FindsClaudeInTheFixedPlacesFirstThenThroughTheLoginShell) {
    const QString first = home() + "/first/claude";
    const QString second = home() + "/second/claude";
    writeScript(workDir() + "/relative/claude", "#!/bin/sh\n");
    qputenv("MOFLI_CLAUDE_PLACES", QFile::encodeName("relative/claude:" + first + ":" + second));
    EXPECT_EQ(MofliLinkManager::claudePath(), std::nullopt) << "only absolute places count";
    installFake("second/claude");
    EXPECT_EQ(MofliLinkManager::claudePath(), second);
    installFake("first/claude");
    EXPECT_EQ(MofliLinkManager::claudePath(), first);
    QFile::setPermissions(first, QFile::ReadOwner | QFile::WriteOwner);
    EXPECT_EQ(MofliLinkManager::claudePath(), second) << "a file that cannot run does not count";
    QFile::remove(first);
    QFile::remove(second);

    const QString elsewhere = writeScript(path("elsewhere/claude"), "#!/bin/sh\n");
    // A profile that greets, names other paths, and leaves noise after the answer.
    qputenv("MOFLI_CLAUDE_SHELL",
            QFile::encodeName(writeScript(
                path("shell/finds"), "#!/bin/sh\necho \"$@\" > \"$FAKE_CLAUDE_DIR/shell-args\"\n"
                                     "echo 'Welcome back!'\necho /bin\necho /no/such/claude\n"
                                     "printf '  %s\\n\\n' \"$FOUND\"\necho 'bye' >&2\n")));
    qputenv("FOUND", QFile::encodeName(elsewhere));
    EXPECT_EQ(MofliLinkManager::claudePath(), elsewhere);
    EXPECT_EQ(readFile(fake().file("shell-args")), "-lc command -v claude\n");
    qputenv("FOUND", QFile::encodeName(path("fake")));
    EXPECT_EQ(MofliLinkManager::claudePath(), std::nullopt) << "a folder is not a tool";

    // The usual places start in the home folder, ahead of any `claude` the system has.
    qunsetenv("MOFLI_CLAUDE_PLACES");
    EXPECT_EQ(MofliLinkManager::claudePath(), installFake());

    qunsetenv("MOFLI_CLAUDE_SHELL");
    QFile::remove(home() + "/.local/bin/claude");
    if (QFileInfo::exists("/bin/zsh") || QFileInfo::exists("/opt/homebrew/bin/claude") ||
        QFileInfo::exists("/usr/local/bin/claude")) {
        GTEST_SKIP() << "the user's own login shell is asked only on a system without /bin/zsh "
                        "and without a `claude` in /opt/homebrew/bin or /usr/local/bin";
    }
    qputenv("SHELL", QFile::encodeName(path("shell/finds")));
    qputenv("FOUND", QFile::encodeName(elsewhere));
    EXPECT_EQ(MofliLinkManager::claudePath(), elsewhere);
    qputenv("SHELL", "relative/shell");
    EXPECT_EQ(MofliLinkManager::claudePath(), std::nullopt);
}

// Whatever the tool does, the app gets a bounded answer in bounded time, and nothing the tool
// started outlives a command that was cut off.
TEST_F(MofliLinkManagerTest, RunKeepsTheStartOfTheOutputAndKillsWhatHangsWithItsChildren) {
    const QByteArray hangs = "#!/bin/sh\nsleep 30 & echo $! >> \"$FAKE_CLAUDE_DIR/pids\"\n"
                             "echo $$ >> \"$FAKE_CLAUDE_DIR/pids\"\necho started\nwait\n";
    struct Case {
        const char* name;
        QByteArray script; // empty: a program that does not exist
        std::optional<std::chrono::milliseconds> timeout;
        std::optional<std::chrono::milliseconds> cancelAfter;
        int status;
        std::function<bool(const QString&)> output;
    };
    const QString cutNote = QStringLiteral("その先は省きました）");
    const auto cutShort = [&](QChar filler) {
        return [=](const QString& output) {
            return output.endsWith(cutNote) && output.startsWith(QString(100, filler)) &&
                   output.size() <= MofliLinkManager::outputLimit + cutNote.size() + 20;
        };
    };
    const Case cases[] = {
        {"output and errors merged",
         "#!/bin/sh\necho out\necho err >&2\nexit 3\n",
         {},
         {},
         3,
         [](const QString& output) {
             return output.contains("out\n") && output.contains("err\n");
         }},
        {"not UTF-8",
         "#!/bin/sh\nprintf 'caf\\351'\n",
         {},
         {},
         0,
         [](const QString& output) {
             return output.isEmpty();
         }},
        {"missing program",
         {},
         {},
         {},
         -1,
         [](const QString& output) {
             return !output.isEmpty();
         }},
        {"20 MB flood",
         "#!/bin/sh\nhead -c 20000000 /dev/zero | tr '\\0' x\n",
         {},
         {},
         0,
         cutShort(QLatin1Char('x'))},
        {"flood cut inside a character",
         "#!/bin/sh\nyes あ | tr -d '\\n' | head -c 200000\n",
         {},
         {},
         0,
         cutShort(QChar(0x3042))},
        {"a question gets end of file",
         "#!/bin/sh\nread answer\necho \"got:$answer\"\n",
         {},
         {},
         0,
         [](const QString& output) {
             return output == "got:\n";
         }},
        {"hangs past the timeout",
         hangs,
         300ms,
         {},
         -1,
         [](const QString& output) {
             return output.contains(QStringLiteral("中断しました")) && output.contains("started");
         }},
        {"cancelled while it hangs",
         hangs,
         {},
         300ms,
         -1,
         [](const QString& output) {
             return output.contains(QStringLiteral("中断しました"));
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(fake().file("pids"));
        const QString program =
            c.script.isEmpty() ? path("nothing-here") : writeScript(path("programs/run"), c.script);
        Cancellation cancellation;
        std::thread canceller;
        if (c.cancelAfter) {
            canceller = std::thread([&] {
                std::this_thread::sleep_for(*c.cancelAfter);
                cancellation.cancel();
            });
        }
        QElapsedTimer elapsed;
        elapsed.start();
        const auto result = MofliLinkManager::run(
            program, {}, cancellation, c.timeout.value_or(MofliLinkManager::commandTimeout));
        if (canceller.joinable()) {
            canceller.join();
        }
        EXPECT_LT(elapsed.elapsed(), 20000);
        EXPECT_EQ(result.status, c.status);
        EXPECT_TRUE(c.output(result.output)) << result.output.left(300).toStdString();
        for (const pid_t pid : fake().recordedPids()) {
            EXPECT_TRUE(goneWithin(pid, 2s)) << "process " << pid;
        }
    }
}

// The deployed hooks suit the release that will load them; a release too old for them is refused
// before anything is copied.
TEST_F(MofliLinkManagerTest, LinkDeploysHooksForTheReleaseItFinds) {
    installFake();
    const QString hookProgram = QStringLiteral("${CLAUDE_PLUGIN_ROOT}/hook/MofliHook");
    struct Case {
        QByteArray version;
        enum { exec, shell, refused } form;
    };
    const Case cases[] = {
        {"2.1.337 (Claude Code)", Case::exec},
        {"2.1.257 (Claude Code)", Case::exec},
        {"2.1.252 (Claude Code)", Case::shell},
        {"Warning: Node 18.19.0 is old\n2.1.21 (Claude Code)", Case::shell},
        {"2.1.20 (Claude Code)", Case::refused},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.version.toStdString());
        QDir(installed()).removeRecursively();
        QFile::remove(fake().file("calls"));
        fake().setInstalled(false);
        fake().answer("version", c.version);
        const auto error = MofliLinkManager::link();
        if (c.form == Case::refused) {
            ASSERT_TRUE(error);
            EXPECT_EQ(
                error->localizedDescription(),
                QStringLiteral("この Claude Code（2.1.20）は古いため、Mofli と連携できません。"
                               "Claude Code を 2.1.21 以降に更新（claude update）してから、"
                               "もう一度連携してください。"));
            EXPECT_FALSE(QFileInfo::exists(installed()));
            EXPECT_EQ(fake().calls(), QStringList{"--version"});
            continue;
        }
        ASSERT_EQ(error, std::nullopt) << describe(error).toStdString();
        EXPECT_EQ(fake().calls(),
                  (QStringList{"--version", "plugin marketplace add " + installed(),
                               "plugin install mofli@mofli", "plugin list --json"}));
        EXPECT_TRUE(QFileInfo(installed("hook/MofliHook")).isExecutable());
        EXPECT_EQ(readFile(installed(".claude-plugin/plugin.json")),
                  readFile(bundled(".claude-plugin/plugin.json")));
        const QJsonObject hooks = QJsonDocument::fromJson(readFile(installed("hooks/hooks.json")))
                                      .object()["hooks"]
                                      .toObject();
        EXPECT_EQ(hooks.contains("Interrupt"), c.form == Case::exec);
        for (const char* event : {"UserPromptSubmit", "PreToolUse", "PostToolUse", "Stop",
                                  "SessionStart", "SessionEnd"}) {
            EXPECT_TRUE(hooks.contains(event)) << event;
        }
        // A run for these would reset the pet and wipe its bubble.
        for (const char* event : {"PostToolBatch", "MessageDisplay", "SubagentStart"}) {
            EXPECT_FALSE(hooks.contains(event)) << event;
        }
        for (auto entry = hooks.begin(); entry != hooks.end(); ++entry) {
            SCOPED_TRACE(entry.key().toStdString());
            const QJsonArray entries = entry->toArray();
            ASSERT_EQ(entries.size(), 1);
            const QJsonArray commands = entries[0].toObject()["hooks"].toArray();
            ASSERT_EQ(commands.size(), 1);
            const QJsonObject command = commands[0].toObject();
            EXPECT_EQ(command["type"], "command");
            EXPECT_EQ(command["timeout"], 5);
            if (c.form == Case::exec) {
                EXPECT_EQ(command["command"], hookProgram);
                EXPECT_EQ(command["args"], QJsonArray{entry.key()});
            } else {
                // The quotes keep a plugin root with spaces in one piece.
                EXPECT_EQ(command["command"], "\"" + hookProgram + "\" " + entry.key());
                EXPECT_FALSE(command.contains("args"));
            }
        }
    }
}

// Linked means that Claude Code lists the plugin enabled and loaded without errors, not that
// some command printed its name.
TEST_F(MofliLinkManagerTest, OnlyAPluginClaudeCodeReallyLoadsCountsAsLinked) {
    installFake();
    const QByteArray broken =
        R"([{"id":"mofli@mofli","enabled":true,"errors":["Hook load failed: Invalid key in record"]}])";
    struct Case {
        const char* name;
        std::function<void()> arrange;
        QString error; // empty: linked
        QStringList callsAfterInstall;
    };
    const Case cases[] = {
        {"install fails after announcing the plugin",
         [&] {
             fake().answer("install",
                           "Installing plugin \"mofli@mofli\"...\n✘ Failed to install "
                           "plugin \"mofli@mofli\": Invalid JSON syntax in settings\n",
                           1);
         },
         "plugin 操作に失敗しました: Installing plugin \"mofli@mofli\"...\n✘ Failed to install "
         "plugin "
         "\"mofli@mofli\": Invalid JSON syntax in settings",
         {}},
        {"no marketplace, no install",
         [&] {
             fake().answer("marketplace", "✘ Invalid JSON syntax in settings", 1);
             fake().answer("install", "✘ Plugin \"mofli\" not found in marketplace", 1);
         },
         "plugin 操作に失敗しました: ✘ Invalid JSON syntax in settings\n✘ Plugin \"mofli\" not "
         "found in marketplace",
         {}},
        {"installed but failing to load, also after a fresh install",
         [&] { fake().answer("list", broken); },
         "plugin 操作に失敗しました: Claude Code が mofli@mofli を読み込めませんでした:\nHook load "
         "failed: Invalid key in record",
         {"plugin list --json", "plugin uninstall mofli@mofli", "plugin install mofli@mofli",
          "plugin list --json"}},
        {"installed but not listed",
         [&] { fake().answer("list", "[]"); },
         "plugin 操作に失敗しました: インストールしたはずの mofli@mofli が claude plugin list に"
         "ありません。",
         {"plugin list --json"}},
        {"disabled, and enabling does not take",
         [&] { fake().answer("list", R"([{"id":"mofli@mofli","enabled":false}])"); },
         "plugin 操作に失敗しました: mofli@mofli が無効のままです。",
         {"plugin list --json", "plugin enable mofli@mofli", "plugin list --json"}},
        {"a list the tool cannot give",
         [&] { fake().answer("list", "error: unknown command 'list'", 1); },
         "plugin 操作に失敗しました: claude plugin list --json: error: unknown command 'list'",
         {"plugin list --json"}},
        {"warnings before the list",
         [&] {
             fake().answer("list", "(node:12) Warning: old Node\n[\n  {\"id\": \"mofli@mofli\", "
                                   "\"enabled\": true, \"errors\": []}\n]\n");
         },
         {},
         {"plugin list --json"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QDir(fake().file("")).removeRecursively();
        QDir().mkpath(fake().file(""));
        c.arrange();
        const auto error = MofliLinkManager::link();
        EXPECT_EQ(describe(error), c.error.isEmpty() ? describe(std::nullopt) : c.error);
        EXPECT_EQ(MofliLinkManager::isLinked(), c.error.isEmpty());
        const QStringList calls = fake().calls();
        const qsizetype install = calls.indexOf("plugin install mofli@mofli");
        EXPECT_EQ(calls.mid(install + 1).mid(0, c.callsAfterInstall.size()), c.callsAfterInstall);
    }
}

// A new copy is made beside the old folder and swapped in: a copy that fails midway (here: a
// file-size limit, which fails writes as a full disk does, also for root) leaves the previous
// folder whole and says why.
TEST_F(MofliLinkManagerTest, DeployLeavesThePreviousFolderWholeWhenTheCopyFails) {
    ASSERT_EQ(MofliLinkManager::deployBundledPlugin({2, 1, 337}), std::nullopt);
    writeFile(installed("stale-file"), "from an older version");
    const QByteArray hookBefore = readFile(installed("hook/MofliHook"));
    const QByteArray hooksBefore = readFile(installed("hooks/hooks.json"));
    writeScript(bundled("hook/MofliHook"), "#!/bin/sh\n" + QByteArray(256 * 1024, '#'));

    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 64 * 1024;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const auto error = MofliLinkManager::deployBundledPlugin({2, 1, 252});
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);

    ASSERT_TRUE(error);
    EXPECT_EQ(error->kind(), LinkError::Kind::fileError);
    EXPECT_TRUE(error->localizedDescription().contains("hook/MofliHook"))
        << error->localizedDescription().toStdString();
    EXPECT_EQ(readFile(installed("hook/MofliHook")), hookBefore);
    EXPECT_EQ(readFile(installed("hooks/hooks.json")), hooksBefore);
    EXPECT_TRUE(QFileInfo(installed("hook/MofliHook")).isExecutable());
    EXPECT_EQ(
        QDir(Paths::appDataDir()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
        QStringList{"mofli-plugin"})
        << "no half copy is left behind";

    ASSERT_EQ(MofliLinkManager::deployBundledPlugin({2, 1, 252}), std::nullopt);
    EXPECT_EQ(readFile(installed("hook/MofliHook")), readFile(bundled("hook/MofliHook")));
    EXPECT_FALSE(QFileInfo::exists(installed("stale-file")));
    EXPECT_EQ(
        QDir(Paths::appDataDir()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
        QStringList{"mofli-plugin"})
        << "the previous folder goes once swapped out";

    // A link made by hand is replaced; what it pointed to is the user's and stays.
    QDir(installed()).removeRecursively();
    writeFile(path("own/notes.txt"), "mine");
    ASSERT_TRUE(QFile::link(path("own"), installed()));
    ASSERT_EQ(MofliLinkManager::deployBundledPlugin({2, 1, 252}), std::nullopt);
    EXPECT_FALSE(QFileInfo(installed()).isSymLink());
    EXPECT_EQ(readFile(path("own/notes.txt")), "mine");
}

// The folder goes only once Claude Code no longer lists the plugin: while it does, Claude Code
// still runs the hook from there.
TEST_F(MofliLinkManagerTest, UnlinkDeletesTheFolderOnlyOnceClaudeCodeLetsGo) {
    EXPECT_EQ(MofliLinkManager::unlink(), LinkError::claudeNotFound());
    installFake();
    const QStringList commands = {"plugin uninstall mofli@mofli", "plugin marketplace remove mofli",
                                  "plugin list --json"};
    struct Case {
        const char* name;
        std::function<void()> arrange;
        QString error; // empty: unlinked
    };
    const Case cases[] = {
        {"uninstalled", [] {}, {}},
        {"still installed",
         [&] {
             fake().answer("uninstall",
                           "✘ Plugin \"mofli@mofli\" was not uninstalled. It is still "
                           "installed.",
                           1);
         },
         "plugin 操作に失敗しました: ✘ Plugin \"mofli@mofli\" was not uninstalled. It is still "
         "installed."},
        {"no list to confirm", [&] { fake().answer("list", "✘ Failed", 1); },
         "plugin 操作に失敗しました: claude plugin list --json: ✘ Failed"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QDir(fake().file("")).removeRecursively();
        QDir().mkpath(fake().file(""));
        fake().setInstalled(true);
        writeFile(installed("hook/MofliHook"), "x");
        c.arrange();
        const auto error = MofliLinkManager::unlink();
        EXPECT_EQ(describe(error), c.error.isEmpty() ? describe(std::nullopt) : c.error);
        EXPECT_EQ(fake().calls(), commands);
        EXPECT_EQ(QFileInfo::exists(installed()), !c.error.isEmpty());
    }
}

// At launch a linked plugin is brought up to date quietly: a newer app's files, hooks for a
// Claude Code that crossed a release, a stale copy in Claude Code's cache. A plugin that is not
// linked, is current, or was turned off by the user is left alone.
TEST_F(MofliLinkManagerTest, RefreshRenewsOnlyWhatIsOutdated) {
    installFake();
    const QString cache = path("home/.claude/plugins/cache/mofli/mofli/0.2.0");
    struct Case {
        const char* name;
        std::function<void()> arrange;
        QStringList calls;
        std::optional<QString> error;
    };
    const QStringList quick = {"plugin list --json", "--version"};
    const QStringList resettled = quick + QStringList{"plugin list --json"};
    const QStringList reinstalled =
        resettled + QStringList{"plugin uninstall mofli@mofli", "plugin install mofli@mofli",
                                "plugin list --json"};
    const auto listAt = [&](const QString& installPath, bool enabled = true) {
        fake().answer("list", QJsonDocument(QJsonArray{QJsonObject{{"id", "mofli@mofli"},
                                                                   {"enabled", enabled},
                                                                   {"installPath", installPath}}})
                                  .toJson());
    };
    const Case cases[] = {
        {"never deployed here", [&] { QDir(installed()).removeRecursively(); }, {}, {}},
        {"not linked", [&] { fake().setInstalled(false); }, {"plugin list --json"}, {}},
        {"current", [] {}, quick, {}},
        {"hook of an older app",
         [&] { writeFile(installed("hook/MofliHook"), "#!/bin/sh\n# older\n"); },
         resettled,
         {}},
        {"Claude Code crossed to exec form",
         [&] {
             ASSERT_EQ(MofliLinkManager::deployBundledPlugin({2, 1, 252}), std::nullopt);
         },
         resettled,
         {}},
        {"stale copy in Claude Code's cache",
         [&] {
             writeFile(cache + "/hooks/hooks.json", "{}");
             listAt(cache);
         },
         reinstalled,
         {}},
        {"current copy in Claude Code's cache",
         [&] {
             QDir(cache).removeRecursively();
             QDir().mkpath(QFileInfo(cache).path());
             QDir().rename(installed(), cache);
             ASSERT_EQ(MofliLinkManager::deployBundledPlugin({2, 1, 337}), std::nullopt);
             listAt(cache);
         },
         quick,
         {}},
        {"turned off by the user",
         [&] {
             writeFile(installed("hook/MofliHook"), "#!/bin/sh\n# older\n");
             listAt({}, false);
         },
         quick,
         {}},
        {"Claude Code too old", [&] { fake().answer("version", "2.1.8 (Claude Code)"); }, quick,
         LinkError::cliTooOld("2.1.8").localizedDescription()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QDir(fake().file("")).removeRecursively();
        QDir().mkpath(fake().file(""));
        fake().setInstalled(true);
        ASSERT_EQ(MofliLinkManager::deployBundledPlugin({2, 1, 337}), std::nullopt);
        c.arrange();
        const auto error = MofliLinkManager::refresh();
        EXPECT_EQ(describe(error), c.error.value_or(describe(std::nullopt)));
        EXPECT_EQ(fake().calls(), c.calls);
        if (c.calls.size() > 1) {
            EXPECT_EQ(readFile(installed("hook/MofliHook")), readFile(bundled("hook/MofliHook")));
            EXPECT_EQ(readFile(installed("hooks/hooks.json")), PluginHooks::hooksJson({2, 1, 337}));
        }
    }
}

} // namespace

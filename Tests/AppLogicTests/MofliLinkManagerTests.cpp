#include "HomeFixture.h"
#include "MofliLinkManager.h"

#include <QElapsedTimer>

namespace {

// A `claude` stand-in: records each call's arguments, one line each, and answers a command
// ("list", "install", "marketplace", "uninstall": the word after "plugin") with the output and
// status the test stored for it.
constexpr char fakeClaude[] = R"sh(#!/bin/sh
printf '%s\n' "$*" >> "$FAKE_CLAUDE_DIR/calls"
answer="$FAKE_CLAUDE_DIR/$2"
[ -f "$answer.out" ] && cat "$answer.out"
[ -f "$answer.err" ] && cat "$answer.err" >&2
exit "$(cat "$answer.status" 2>/dev/null || echo 0)"
)sh";

class MofliLinkManagerTest : public HomeFixture {
protected:
    void SetUp() override {
        HomeFixture::SetUp();
        qputenv("FAKE_CLAUDE_DIR", QFile::encodeName(path("fake")));
        QDir().mkpath(path("fake"));
        qputenv("MOFLI_RESOURCE_DIR", QFile::encodeName(path("resources")));
        writeFile(path("resources/mofli-plugin/.claude-plugin/marketplace.json"), "{}");
        writeFile(path("resources/mofli-plugin/bin/MofliHook"), "#!/bin/sh\n");
        QFile::setPermissions(path("resources/mofli-plugin/bin/MofliHook"),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        // No login shell may find a real `claude` of the machine.
        qputenv("SHELL", QFile::encodeName(writeScript("shell/none", "#!/bin/sh\nexit 1\n")));
    }

    void TearDown() override {
        qunsetenv("FAKE_CLAUDE_DIR");
        qunsetenv("MOFLI_RESOURCE_DIR");
        qunsetenv("SHELL");
        HomeFixture::TearDown();
    }

    QString writeScript(const QString& relative, const QByteArray& body) {
        const QString file = path(relative);
        writeFile(file, body);
        QFile::setPermissions(file, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        return file;
    }

    QString installFake(const QString& relativeToHome = ".local/bin/claude") {
        return writeScript("home/" + relativeToHome, fakeClaude);
    }

    void answer(const QString& command, const QByteArray& output, int status = 0) {
        writeFile(path("fake/" + command + ".out"), output);
        writeFile(path("fake/" + command + ".status"), QByteArray::number(status));
    }

    QStringList calls() const {
        return QString::fromUtf8(readFile(path("fake/calls"))).split('\n', Qt::SkipEmptyParts);
    }

    QString installed() const { return path("data/Mofli/mofli-plugin"); }
};

TEST_F(MofliLinkManagerTest, FindsClaudeInTheFixedPlacesFirstThenThroughTheLoginShell) {
    EXPECT_EQ(MofliLinkManager::claudePath(), std::nullopt);

    const QString local = installFake(".claude/local/claude");
    EXPECT_EQ(MofliLinkManager::claudePath(), local);
    const QString preferred = installFake();
    EXPECT_EQ(MofliLinkManager::claudePath(), preferred);
    QFile::setPermissions(preferred, QFile::ReadOwner | QFile::WriteOwner);
    EXPECT_EQ(MofliLinkManager::claudePath(), local) << "a file that cannot run does not count";
    QFile::remove(local);
    QFile::remove(preferred);

    if (QFileInfo::exists("/bin/zsh")) {
        GTEST_SKIP() << "the login-shell cases need a system without /bin/zsh, which is asked "
                        "before $SHELL";
    }
    const QString elsewhere = writeScript("elsewhere/claude", fakeClaude);
    writeScript("shell/finds", "#!/bin/sh\necho \"$@\" > \"$FAKE_CLAUDE_DIR/shell-args\"\n"
                               "printf '  %s\\n\\n' \"$FOUND\"\n");
    qputenv("SHELL", QFile::encodeName(path("shell/finds")));
    qputenv("FOUND", QFile::encodeName(elsewhere));
    EXPECT_EQ(MofliLinkManager::claudePath(), elsewhere);
    EXPECT_EQ(readFile(path("fake/shell-args")), "-lc command -v claude\n");
    qputenv("FOUND", QFile::encodeName(path("fake")));
    EXPECT_EQ(MofliLinkManager::claudePath(), std::nullopt) << "a folder is not a tool";
    qputenv("SHELL", "relative/shell");
    EXPECT_EQ(MofliLinkManager::claudePath(), std::nullopt);
    qunsetenv("FOUND");
}

TEST_F(MofliLinkManagerTest, RunMergesOutputAndReportsWhatCannotRun) {
    const QString both = writeScript("both", "#!/bin/sh\necho out\necho err >&2\nexit 3\n");
    const auto merged = MofliLinkManager::run(both, {});
    EXPECT_EQ(merged.status, 3);
    EXPECT_TRUE(merged.output.contains("out\n") && merged.output.contains("err\n"))
        << merged.output.toStdString();

    const QString latin1 = writeScript("latin1", "#!/bin/sh\nprintf 'caf\\351'\n");
    EXPECT_EQ(MofliLinkManager::run(latin1, {}).output, QString()) << "not UTF-8: no output";

    const auto missing = MofliLinkManager::run(path("nothing-here"), {});
    EXPECT_EQ(missing.status, -1);
    EXPECT_FALSE(missing.output.isEmpty());

    const QString hangs = writeScript("hangs", "#!/bin/sh\necho started\nexec sleep 30\n");
    QElapsedTimer elapsed;
    elapsed.start();
    const auto stuck = MofliLinkManager::run(hangs, {}, std::chrono::milliseconds(300));
    EXPECT_LT(elapsed.elapsed(), 10000) << "the child must be killed at the bound";
    EXPECT_EQ(stuck.status, -1);
    EXPECT_TRUE(stuck.output.contains(QStringLiteral("中断しました")))
        << stuck.output.toStdString();
}

TEST_F(MofliLinkManagerTest, LinkCopiesThePluginAndInstallsIt) {
    installFake();
    writeFile(installed() + "/stale-file", "from an older version");
    EXPECT_EQ(MofliLinkManager::link(), std::nullopt);
    EXPECT_EQ(calls(),
              (QStringList{"plugin marketplace add " + installed(), "plugin install mofli@mofli"}));
    EXPECT_FALSE(QFileInfo::exists(installed() + "/stale-file"));
    EXPECT_TRUE(QFileInfo(installed() + "/.claude-plugin/marketplace.json").isFile());
    EXPECT_TRUE(QFileInfo(installed() + "/bin/MofliHook").isExecutable())
        << "the hook must stay runnable in the copy";
}

TEST_F(MofliLinkManagerTest, InstallFailuresCountUnlessTheyNameThePlugin) {
    installFake();
    answer("marketplace", "✘ anything at all", 1);
    answer("install", "Plugin mofli@mofli is already installed", 1);
    EXPECT_EQ(MofliLinkManager::link(), std::nullopt);

    answer("install", "\n  ✘ Marketplace not found \n\n", 1);
    const auto error = MofliLinkManager::link();
    ASSERT_TRUE(error);
    EXPECT_EQ(error->kind(), LinkError::Kind::commandFailed);
    EXPECT_EQ(error->localizedDescription(),
              QStringLiteral("plugin 操作に失敗しました: ✘ Marketplace not found"));
}

TEST_F(MofliLinkManagerTest, LinkNeedsTheToolAndTheBundledPlugin) {
    const auto noTool = MofliLinkManager::link();
    ASSERT_TRUE(noTool);
    EXPECT_EQ(noTool->localizedDescription(),
              QStringLiteral("claude コマンドが見つかりませんでした。Claude Code "
                             "がインストールされているか確認してください。"));
    EXPECT_FALSE(QFileInfo::exists(installed()));

    installFake();
    QDir(path("resources/mofli-plugin")).removeRecursively();
    const auto noPlugin = MofliLinkManager::link();
    ASSERT_TRUE(noPlugin);
    EXPECT_EQ(noPlugin->localizedDescription(),
              QStringLiteral("アプリに同梱された plugin が見つかりませんでした。"));
    EXPECT_TRUE(calls().isEmpty()) << "nothing is registered without a plugin to register";
}

TEST_F(MofliLinkManagerTest, UnlinkIgnoresFailuresButNeedsTheTool) {
    EXPECT_EQ(MofliLinkManager::unlink(), LinkError::claudeNotFound());
    installFake();
    answer("uninstall", "✘ not installed", 1);
    answer("marketplace", "✘ not found", 1);
    writeFile(installed() + "/bin/MofliHook", "x");
    EXPECT_EQ(MofliLinkManager::unlink(), std::nullopt);
    EXPECT_EQ(calls(),
              (QStringList{"plugin uninstall mofli@mofli", "plugin marketplace remove mofli"}));
    EXPECT_FALSE(QFileInfo::exists(installed()));
    EXPECT_EQ(MofliLinkManager::unlink(), std::nullopt) << "nothing left to remove is fine";
}

TEST_F(MofliLinkManagerTest, LinkedMeansListedWhateverTheStatus) {
    EXPECT_FALSE(MofliLinkManager::isLinked());
    installFake();
    answer("list", "❯ other@place\n");
    EXPECT_FALSE(MofliLinkManager::isLinked());
    answer("list", "❯ mofli@mofli\n  Status: ✔ enabled\n", 1);
    EXPECT_TRUE(MofliLinkManager::isLinked());
}

} // namespace

#include "AppDelegate.h"
#include "AppFixture.h"
#include "AvatarWindow.h"
#include "Settings.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QMessageBox>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

namespace {

// Records its calls and answers `plugin list` and `plugin install` as the test stored.
constexpr char fakeClaude[] = R"sh(#!/bin/sh
printf '%s\n' "$*" >> "$FAKE_CLAUDE_DIR/calls"
answer="$FAKE_CLAUDE_DIR/$2"
[ -f "$answer.out" ] && cat "$answer.out"
exit "$(cat "$answer.status" 2>/dev/null || echo 0)"
)sh";

struct Alert {
    QString text;
    QString informative;
    QStringList buttons;
    QRect geometry;
};

class LinkTest : public AppFixture {
protected:
    void SetUp() override {
        AppFixture::SetUp();
        home_ = qgetenv("HOME");
        qputenv("HOME", QFile::encodeName(root_.filePath("home")));
        qputenv("XDG_DATA_HOME", QFile::encodeName(root_.filePath("data")));
        qputenv("FAKE_CLAUDE_DIR", QFile::encodeName(root_.filePath("fake")));
        qputenv("MOFLI_RESOURCE_DIR", QFile::encodeName(root_.filePath("resources")));
        qputenv("SHELL", "/bin/false");
        QDir().mkpath(root_.filePath("fake"));
        write("resources/mofli-plugin/hooks/hooks.json", "{}");
        store("didAttemptInitialLink", QVariant());
    }

    void TearDown() override {
        qputenv("HOME", home_);
        for (const char* name :
             {"XDG_DATA_HOME", "FAKE_CLAUDE_DIR", "MOFLI_RESOURCE_DIR", "SHELL"}) {
            qunsetenv(name);
        }
        AppFixture::TearDown();
    }

    void write(const QString& relative, const QByteArray& contents) {
        const QString file = root_.filePath(relative);
        QDir().mkpath(QFileInfo(file).path());
        QFile out(file);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
        out.write(contents);
    }

    void installFake() {
        write("home/.local/bin/claude", fakeClaude);
        QFile::setPermissions(root_.filePath("home/.local/bin/claude"),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    void answer(const QString& command, const QByteArray& output, int status = 0) {
        write("fake/" + command + ".out", output);
        write("fake/" + command + ".status", QByteArray::number(status));
    }

    QStringList calls() const {
        QFile file(root_.filePath("fake/calls"));
        return file.open(QIODevice::ReadOnly)
                   ? QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts)
                   : QStringList();
    }

    QString installed() const { return root_.filePath("data/Mofli/mofli-plugin"); }

    // Answers every alert that opens with the first of its buttons titled one of `choices`,
    // recording what it said.
    void answerAlerts(const QStringList& choices = {QStringLiteral("OK"),
                                                    QStringLiteral("解除する")}) {
        auto* timer = new QTimer(&watcher_);
        QObject::connect(timer, &QTimer::timeout, [this, choices] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box || !box->isVisible()) {
                return;
            }
            // Let the box take its place above the pet first.
            QCoreApplication::processEvents();
            Alert seen{box->text(), box->informativeText(), {}, box->frameGeometry()};
            QAbstractButton* chosen = nullptr;
            for (QAbstractButton* button : box->buttons()) {
                seen.buttons.append(button->text());
                if (!chosen && choices.contains(button->text())) {
                    chosen = button;
                }
            }
            alerts.append(seen);
            if (chosen) {
                chosen->click();
            }
        });
        timer->start(20);
    }

    static QRect contextRowsClick(AppDelegate& app, const QString& row) {
        auto menu = app.makeContextMenu();
        for (QAction* action : menu->actions()) {
            if (action->menu()) {
                for (QAction* inner : action->menu()->actions()) {
                    if (inner->text() == row) {
                        EXPECT_TRUE(inner->isEnabled());
                        inner->trigger();
                    }
                }
            }
        }
        return {};
    }

    QList<Alert> alerts;
    QTemporaryDir root_;
    QObject watcher_;

private:
    QByteArray home_;
};

TEST_F(LinkTest, FirstLaunchLinksOnceAndSaysSoAboveThePet) {
    installFake();
    answerAlerts();
    AppDelegate app(platform, clock);
    app.launch();
    ASSERT_TRUE(waitUntil([&] { return !alerts.isEmpty(); }, 10000));
    EXPECT_EQ(calls(), (QStringList{"plugin list", "plugin marketplace add " + installed(),
                                    "plugin install mofli@mofli"}));
    EXPECT_TRUE(QFileInfo(installed() + "/hooks/hooks.json").isFile());
    const Alert& alert = alerts.first();
    EXPECT_EQ(alert.text, QStringLiteral("Mofli × Claude Code"));
    EXPECT_EQ(alert.informative,
              QStringLiteral("Mofli を Claude Code に連携しました。\nClaude Code で "
                             "/reload-plugins を実行（または再起動）すると、デスクトップのキャラ"
                             "クターが状態に反応するようになります✨"));
    EXPECT_EQ(alert.buttons, QStringList{"OK"});
    const QRect pet = app.window()->frameGeometry();
    EXPECT_EQ(alert.geometry.bottom(), pet.top() - 12 - 1) << "12 points above the pet";
    // Centred on the pet as far as the screen allows: the pet sits near the right edge.
    const QRect screen = app.window()->screen()->availableGeometry();
    const int centred = pet.center().x() - alert.geometry.width() / 2;
    EXPECT_NEAR(
        alert.geometry.left(),
        std::min(std::max(centred, screen.left()), screen.right() + 1 - alert.geometry.width()), 1);
    EXPECT_TRUE(screen.contains(alert.geometry));
    EXPECT_TRUE(Settings::didAttemptInitialLink());

    AppDelegate again(platform, clock);
    again.launch();
    QTest::qWait(300);
    EXPECT_EQ(calls().size(), 3) << "the first link is tried once";
}

TEST_F(LinkTest, FirstLaunchFindingThePluginLinkedOnlyRemembersIt) {
    installFake();
    answer("list", "❯ mofli@mofli\n    Status: ✔ enabled\n");
    answerAlerts();
    AppDelegate app(platform, clock);
    app.launch();
    ASSERT_TRUE(waitUntil([] { return Settings::didAttemptInitialLink(); }, 10000));
    QTest::qWait(200);
    EXPECT_EQ(calls(), QStringList{"plugin list"});
    EXPECT_FALSE(QFileInfo::exists(installed()));
    EXPECT_TRUE(alerts.isEmpty());
}

TEST_F(LinkTest, FirstLaunchWithoutClaudeTriesAgainNextTime) {
    answerAlerts();
    {
        AppDelegate app(platform, clock);
        app.launch();
        QTest::qWait(500);
    }
    EXPECT_FALSE(Settings::didAttemptInitialLink());
    EXPECT_TRUE(alerts.isEmpty());
    installFake();
    answer("install", "✘ network unreachable", 1);
    AppDelegate app(platform, clock);
    app.launch();
    ASSERT_TRUE(waitUntil([] { return Settings::didAttemptInitialLink(); }, 10000));
    QTest::qWait(200);
    EXPECT_TRUE(alerts.isEmpty()) << "a failed first link stays quiet";
}

TEST_F(LinkTest, MenuRowsLinkAndUnlinkAndReportTheOutcome) {
    store("didAttemptInitialLink", true);
    installFake();
    answerAlerts();
    AppDelegate app(platform, clock);
    app.launch();

    answer("install", "✘ Plugin not found in marketplace", 1);
    contextRowsClick(app, QStringLiteral("連携する（インストール）"));
    ASSERT_TRUE(waitUntil([&] { return alerts.size() == 1; }, 10000));
    EXPECT_EQ(alerts[0].informative,
              QStringLiteral("連携に失敗しました。\nplugin 操作に失敗しました: ✘ Plugin not found "
                             "in marketplace"));

    answer("install", "✔ Successfully installed plugin: mofli@mofli");
    contextRowsClick(app, QStringLiteral("連携する（インストール）"));
    ASSERT_TRUE(waitUntil([&] { return alerts.size() == 2; }, 10000));
    EXPECT_EQ(alerts[1].informative, QStringLiteral("連携しました。Claude Code で /reload-plugins "
                                                    "を実行（または再起動）してください。"));
    EXPECT_TRUE(QFileInfo::exists(installed()));

    contextRowsClick(app, QStringLiteral("連携を解除（アンインストール）"));
    ASSERT_TRUE(waitUntil([&] { return alerts.size() == 4; }, 10000));
    EXPECT_EQ(alerts[2].text, QStringLiteral("Claude Code 連携を解除しますか？"));
    EXPECT_EQ(alerts[2].informative,
              QStringLiteral("plugin（mofli@mofli）をアンインストールし、展開した連携ファイルを"
                             "削除します。"));
    EXPECT_EQ(alerts[2].buttons, (QStringList{"解除する", "キャンセル"}));
    EXPECT_EQ(alerts[3].informative,
              QStringLiteral("連携を解除しました。Claude Code で /reload-plugins "
                             "を実行（または再起動）してください。"));
    EXPECT_FALSE(QFileInfo::exists(installed()));
    EXPECT_TRUE(calls().endsWith("plugin marketplace remove mofli"));
}

TEST_F(LinkTest, CancellingTheUnlinkQuestionRunsNothing) {
    store("didAttemptInitialLink", true);
    installFake();
    answerAlerts({QStringLiteral("キャンセル")});
    AppDelegate app(platform, clock);
    app.launch();
    contextRowsClick(app, QStringLiteral("連携を解除（アンインストール）"));
    ASSERT_EQ(alerts.size(), 1);
    QTest::qWait(300);
    EXPECT_EQ(alerts.size(), 1);
    EXPECT_TRUE(calls().isEmpty());
}

} // namespace

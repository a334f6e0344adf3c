#include "AppDelegate.h"
#include "AppFixture.h"
#include "AvatarWindow.h"
#include "ContextMenu.h"
#include "FakeClaude.h"
#include "MofliLinkManager.h"
#include "PetWindowController.h"
#include "Settings.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMenu>
#include <QMessageBox>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <optional>

namespace {

struct Alert {
    QString text;
    QString informative;
    QString detail;
    QStringList buttons;
    QRect geometry;
    // With the details shown, where there are any.
    QRect expanded;
    QString detailsButton;
    // Put in front of other applications' windows: the app is rarely the active one.
    bool broughtForward = false;
};

class LinkTest : public AppFixture {
protected:
    void SetUp() override {
        AppFixture::SetUp();
        home_ = qgetenv("HOME");
        qputenv("HOME", QFile::encodeName(root_.filePath("home")));
        qputenv("XDG_DATA_HOME", QFile::encodeName(root_.filePath("data")));
        qputenv("MOFLI_RESOURCE_DIR", QFile::encodeName(root_.filePath("resources")));
        // Where installFake() puts it, and nowhere a `claude` of the machine could be.
        qputenv("MOFLI_CLAUDE_PLACES", QFile::encodeName(root_.filePath("home/.local/bin/claude")));
        qputenv("MOFLI_CLAUDE_SHELL", "/usr/bin/false");
        fake_.emplace(root_.filePath("fake"));
        write("resources/mofli-plugin/.claude-plugin/plugin.json", R"({"name":"mofli"})");
        store("didAttemptInitialLink", QVariant());
    }

    void TearDown() override {
        fake_.reset();
        qputenv("HOME", home_);
        for (const char* name :
             {"XDG_DATA_HOME", "MOFLI_RESOURCE_DIR", "MOFLI_CLAUDE_PLACES", "MOFLI_CLAUDE_SHELL"}) {
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

    void installFake() { FakeClaude::installAt(root_.filePath("home/.local/bin/claude")); }
    const FakeClaude& fake() const { return *fake_; }
    static QString installed() { return MofliLinkManager::installedPluginDir(); }

    // Answers every alert that opens with the first of its buttons titled one of `choices`,
    // recording what it said; details are opened first.
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
            Alert seen{box->text(),
                       box->informativeText(),
                       box->detailedText(),
                       {},
                       box->frameGeometry(),
                       {},
                       {},
                       platform.broughtForward.contains(box)};
            QAbstractButton* chosen = nullptr;
            for (QAbstractButton* button : box->buttons()) {
                if (box->buttonRole(button) == QMessageBox::ActionRole) {
                    seen.detailsButton = button->text();
                    button->click();
                    QCoreApplication::processEvents();
                    seen.expanded = box->frameGeometry();
                    continue;
                }
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

    static QAction* contextRow(QMenu& menu, const QString& row) {
        for (QAction* action : menu.actions()) {
            if (action->text() == row) {
                return action;
            }
            if (action->menu()) {
                for (QAction* inner : action->menu()->actions()) {
                    if (inner->text() == row) {
                        return inner;
                    }
                }
            }
        }
        ADD_FAILURE() << "no row " << row.toStdString();
        return nullptr;
    }

    static void contextRowsClick(AppDelegate& app, const QString& row) {
        auto menu = app.contextMenu().make();
        if (QAction* action = contextRow(*menu, row)) {
            EXPECT_TRUE(action->isEnabled());
            action->trigger();
        }
    }

    QList<Alert> alerts;
    QTemporaryDir root_;
    QObject watcher_;

private:
    QByteArray home_;
    std::optional<FakeClaude> fake_;
};

TEST_F(LinkTest, FirstLaunchLinksOnceAndSaysSoAboveThePet) {
    installFake();
    answerAlerts();
    AppDelegate app(platform, clock);
    app.launch();
    ASSERT_TRUE(waitUntil([&] { return !alerts.isEmpty(); }, 10000));
    EXPECT_EQ(fake().calls(), (QStringList{"plugin list --json", "--version",
                                           "plugin marketplace add " + installed(),
                                           "plugin install mofli@mofli", "plugin list --json"}));
    EXPECT_TRUE(QFileInfo(installed() + "/hooks/hooks.json").isFile());
    const Alert& alert = alerts.first();
    EXPECT_EQ(alert.text, QStringLiteral("Mofli × Claude Code"));
    EXPECT_EQ(alert.informative,
              QStringLiteral("Mofli を Claude Code に連携しました。\nClaude Code で "
                             "/reload-plugins を実行（または再起動）すると、デスクトップのキャラ"
                             "クターが状態に反応するようになります✨"));
    EXPECT_EQ(alert.buttons, QStringList{"OK"});
    EXPECT_TRUE(alert.broughtForward);
    const QRect pet = app.petWindow().window()->frameGeometry();
    EXPECT_EQ(alert.geometry.bottom(), pet.top() - 12 - 1) << "12 points above the pet";
    // Centred on the pet as far as the screen allows: the pet sits near the right edge.
    const QRect screen = app.petWindow().window()->screen()->availableGeometry();
    const int centred = pet.center().x() - alert.geometry.width() / 2;
    EXPECT_NEAR(
        alert.geometry.left(),
        std::min(std::max(centred, screen.left()), screen.right() + 1 - alert.geometry.width()), 1);
    EXPECT_TRUE(screen.contains(alert.geometry));
    EXPECT_TRUE(Settings::didAttemptInitialLink());

    // Later launches only look whether the linked plugin is current.
    const int callsBefore = fake().calls().size();
    AppDelegate again(platform, clock);
    again.launch();
    ASSERT_TRUE(waitUntil([&] { return fake().calls().size() == callsBefore + 2; }, 10000));
    QTest::qWait(300);
    EXPECT_EQ(fake().calls().mid(callsBefore), (QStringList{"plugin list --json", "--version"}));
    EXPECT_EQ(alerts.size(), 1) << "a current plugin is not mentioned";

    // They speak up only when the plugin cannot be kept working.
    fake().answer("version", "2.1.8 (Claude Code)");
    AppDelegate third(platform, clock);
    third.launch();
    ASSERT_TRUE(waitUntil([&] { return alerts.size() == 2; }, 10000));
    EXPECT_TRUE(alerts[1].informative.startsWith(QStringLiteral(
        "Claude Code 連携を更新できませんでした。\nこの Claude Code（2.1.8）は古い")))
        << alerts[1].informative.toStdString();
}

TEST_F(LinkTest, FirstLaunchFindingThePluginLinkedRemembersItQuietly) {
    installFake();
    fake().setInstalled(true);
    answerAlerts();
    AppDelegate app(platform, clock);
    app.launch();
    ASSERT_TRUE(waitUntil([] { return Settings::didAttemptInitialLink(); }, 10000));
    QTest::qWait(200);
    EXPECT_EQ(fake().calls(), QStringList{"plugin list --json"});
    EXPECT_TRUE(alerts.isEmpty());
}

TEST_F(LinkTest, AFailedFirstLinkIsToldOnceWithTheWayToRetry) {
    answerAlerts();
    {
        AppDelegate app(platform, clock);
        app.launch();
        QTest::qWait(500);
    }
    EXPECT_FALSE(Settings::didAttemptInitialLink()) << "without a claude the next launch tries";
    EXPECT_TRUE(alerts.isEmpty());

    installFake();
    fake().answer("install", "Installing plugin \"mofli@mofli\"...\n✘ Failed to install plugin", 1);
    {
        AppDelegate app(platform, clock);
        app.launch();
        ASSERT_TRUE(waitUntil([&] { return !alerts.isEmpty(); }, 10000));
    }
    EXPECT_TRUE(Settings::didAttemptInitialLink());
    EXPECT_EQ(
        alerts[0].informative,
        QStringLiteral("Mofli を Claude Code に連携できませんでした。\nplugin 操作に失敗しま"
                       "した: Installing plugin \"mofli@mofli\"...\n✘ Failed to install plugin"
                       "\n右クリックメニューの「Claude Code 連携」→「連携する（インストール）」"
                       "から、もう一度試せます。"));

    AppDelegate app(platform, clock);
    app.launch();
    QTest::qWait(500);
    EXPECT_EQ(alerts.size(), 1) << "the first link is tried, and told, once";
}

TEST_F(LinkTest, MenuRowsLinkAndUnlinkAndReportTheOutcome) {
    store("didAttemptInitialLink", true);
    installFake();
    answerAlerts();
    AppDelegate app(platform, clock);
    app.launch();

    fake().answer("install", "✘ Plugin not found in marketplace", 1);
    contextRowsClick(app, QStringLiteral("連携する（インストール）"));
    ASSERT_TRUE(waitUntil([&] { return alerts.size() == 1; }, 10000));
    EXPECT_EQ(alerts[0].informative,
              QStringLiteral("連携に失敗しました。\nplugin 操作に失敗しました: ✘ Plugin not found "
                             "in marketplace"));
    EXPECT_TRUE(alerts[0].detail.isEmpty());

    QFile::remove(fake().file("install.out"));
    QFile::remove(fake().file("install.status"));
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
    EXPECT_TRUE(fake().calls().endsWith("plugin list --json"));
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
    EXPECT_TRUE(fake().calls().isEmpty());
}

// Megabytes of error text become a few lines with the rest behind the details button, capped,
// and the alert stays on the screen with its details open.
TEST_F(LinkTest, AFloodOfErrorOutputGivesAShortAlertThatFitsTheScreen) {
    store("didAttemptInitialLink", true);
    installFake();
    QByteArray flood = "✘ Failed to install plugin \"mofli@mofli\": <b>settings</b> broken\n";
    while (flood.size() < 5 * 1024 * 1024) {
        flood += "    at loadSettings (file:///usr/lib/node_modules/claude/cli.js:4242:17) " +
                 QByteArray(200, '.') + "\n";
    }
    fake().answer("install", flood, 1);
    answerAlerts();
    AppDelegate app(platform, clock);
    app.launch();
    contextRowsClick(app, QStringLiteral("連携する（インストール）"));
    ASSERT_TRUE(waitUntil([&] { return !alerts.isEmpty(); }, 20000));
    const Alert& alert = alerts.first();
    EXPECT_TRUE(alert.informative.startsWith(QStringLiteral(
        "連携に失敗しました。\nplugin 操作に失敗しました: ✘ Failed to install plugin "
        "\"mofli@mofli\": <b>settings</b> broken\n")))
        << alert.informative.toStdString();
    EXPECT_LE(alert.informative.count('\n'), 6);
    EXPECT_LE(alert.informative.size(), 800);
    EXPECT_TRUE(alert.detail.contains(QStringLiteral("その先は省きました")));
    EXPECT_LE(alert.detail.size(), 70 * 1024);
    const QRect screen = app.petWindow().window()->screen()->availableGeometry();
    EXPECT_TRUE(screen.contains(alert.geometry)) << alert.geometry.height();
    EXPECT_EQ(alert.detailsButton, QStringLiteral("詳細を表示…"));
    EXPECT_TRUE(alert.expanded.isValid());
    EXPECT_TRUE(screen.contains(alert.expanded)) << alert.expanded.height();
}

// "閉じる" while `claude` hangs: the run ends at once, and the hung tool and what it started go
// with it, instead of living on or holding the app for minutes.
TEST_F(LinkTest, QuittingWhileClaudeHangsEndsAtOnceAndTakesItsChildren) {
    store("didAttemptInitialLink", true);
    installFake();
    fake().before("install", "sleep 300 & echo $! >> \"$FAKE_CLAUDE_DIR/pids\"\n"
                             "echo $$ >> \"$FAKE_CLAUDE_DIR/pids\"\nwait\n");
    auto app = std::make_unique<AppDelegate>(platform, clock);
    app->launch();
    contextRowsClick(*app, QStringLiteral("連携する（インストール）"));
    ASSERT_TRUE(waitUntil([&] { return fake().recordedPids().size() == 2; }, 10000));

    QElapsedTimer elapsed;
    const auto menu = app->contextMenu().make();
    QAction* quit = contextRow(*menu, QStringLiteral("閉じる"));
    ASSERT_TRUE(quit);
    QTimer::singleShot(0, quit, [&] {
        elapsed.start();
        quit->trigger();
    });
    QCoreApplication::exec();
    // What main() does once the event loop has ended.
    app.reset();
    const QList<pid_t> pids = fake().recordedPids();
    EXPECT_TRUE(waitUntil([&] { return std::none_of(pids.begin(), pids.end(), &FakeClaude::runs); },
                          std::max(0, 1000 - int(elapsed.elapsed()))))
        << "the hung claude or its child still runs";
    EXPECT_LT(elapsed.elapsed(), 1000);
    EXPECT_TRUE(alerts.isEmpty()) << "a cancelled link reports nothing";
}

} // namespace

#include "AppDelegate.h"
#include "AppFixture.h"
#include "VirtualScheduler.h"

#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QMenu>

namespace {

class DesktopShellTest : public AppFixture {
protected:
    static QAction* row(QMenu* menu, const QString& title) {
        for (QAction* action : menu->actions()) {
            if (action->text() == title) {
                return action;
            }
        }
        return nullptr;
    }

    static bool hasPetSubmenu(AppDelegate& app) {
        return row(app.makeContextMenu().get(), QStringLiteral("キャラクター")) != nullptr;
    }

    VirtualScheduler virtualClock;
};

TEST_F(DesktopShellTest, ATrayThatAppearsLateStillGetsTheStatusItem) {
    AppDelegate app(platform, virtualClock);
    app.launch();
    EXPECT_FALSE(app.hasStatusItem());
    EXPECT_TRUE(hasPetSubmenu(app)) << "without a tray the context menu offers the pets";

    virtualClock.advance(30);
    EXPECT_FALSE(app.hasStatusItem());
    platform.trayAvailable = true;
    virtualClock.advance(3);
    QCoreApplication::processEvents();
    ASSERT_TRUE(app.hasStatusItem());
    EXPECT_FALSE(hasPetSubmenu(app));
    virtualClock.advance(30);
    QCoreApplication::processEvents();
    EXPECT_TRUE(app.hasStatusItem());
}

TEST_F(DesktopShellTest, ATrayLaterThanTwoMinutesIsNoLongerAwaited) {
    AppDelegate app(platform, virtualClock);
    app.launch();
    virtualClock.advance(125);
    QCoreApplication::processEvents();
    platform.trayAvailable = true;
    virtualClock.advance(30);
    QCoreApplication::processEvents();
    EXPECT_FALSE(app.hasStatusItem()) << "the checks stop after about two minutes";
    EXPECT_TRUE(hasPetSubmenu(app));
}

TEST_F(DesktopShellTest, TheLoginRowWritesAndRemovesTheAutostartEntry) {
    const QString entry =
        qEnvironmentVariable("XDG_CONFIG_HOME") + QStringLiteral("/autostart/mofli.desktop");
    QFile::remove(entry);
    AppDelegate app(platform, clock);
    app.launch();
    QAction* atLogin = row(app.statusMenu(), QStringLiteral("ログイン時に起動"));
    ASSERT_TRUE(atLogin);
    EXPECT_TRUE(atLogin->isCheckable());
    EXPECT_FALSE(atLogin->isChecked());

    atLogin->trigger();
    ASSERT_TRUE(QFile::exists(entry));
    QFile file(entry);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(file.readAll().contains(
        ("\nExec=" + QCoreApplication::applicationFilePath() + "\n").toUtf8()));
    atLogin = row(app.statusMenu(), QStringLiteral("ログイン時に起動"));
    EXPECT_TRUE(atLogin->isChecked());

    // Removed behind the app's back: the mark follows the file, not what was chosen.
    QFile::remove(entry);
    app.rebuildPetMenu();
    atLogin = row(app.statusMenu(), QStringLiteral("ログイン時に起動"));
    EXPECT_FALSE(atLogin->isChecked());
    atLogin->trigger();
    EXPECT_TRUE(QFile::exists(entry));
    row(app.statusMenu(), QStringLiteral("ログイン時に起動"))->trigger();
    EXPECT_FALSE(QFile::exists(entry));
}

} // namespace

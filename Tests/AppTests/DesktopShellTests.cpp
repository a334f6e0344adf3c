#include "AppDelegate.h"
#include "AppFixture.h"
#include "ContextMenu.h"
#include "LoginItem.h"
#include "TrayController.h"
#include "VirtualScheduler.h"

#include <QAction>
#include <QCoreApplication>
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
        return row(app.contextMenu().make().get(), QStringLiteral("キャラクター")) != nullptr;
    }

    VirtualScheduler virtualClock;
};

TEST_F(DesktopShellTest, ATrayThatAppearsLateStillGetsTheStatusItem) {
    AppDelegate app(platform, virtualClock);
    app.launch();
    EXPECT_FALSE(app.tray().hasIcon());
    EXPECT_TRUE(hasPetSubmenu(app)) << "without a tray the context menu offers the pets";

    virtualClock.advance(30);
    EXPECT_FALSE(app.tray().hasIcon());
    platform.trayAvailable = true;
    virtualClock.advance(3);
    QCoreApplication::processEvents();
    ASSERT_TRUE(app.tray().hasIcon());
    EXPECT_FALSE(hasPetSubmenu(app));
    virtualClock.advance(30);
    QCoreApplication::processEvents();
    EXPECT_TRUE(app.tray().hasIcon());
}

TEST_F(DesktopShellTest, ATrayLaterThanTwoMinutesIsNoLongerAwaited) {
    AppDelegate app(platform, virtualClock);
    app.launch();
    virtualClock.advance(125);
    QCoreApplication::processEvents();
    platform.trayAvailable = true;
    virtualClock.advance(30);
    QCoreApplication::processEvents();
    EXPECT_FALSE(app.tray().hasIcon()) << "the checks stop after about two minutes";
    EXPECT_TRUE(hasPetSubmenu(app));
}

TEST_F(DesktopShellTest, TheLoginRowShowsAndSwitchesWhatTheSystemHasRegistered) {
    AppDelegate app(platform, clock);
    app.launch();
    const auto atLogin = [&] {
        return row(app.tray().menu(), QStringLiteral("ログイン時に起動"));
    };
    ASSERT_TRUE(atLogin());
    EXPECT_TRUE(atLogin()->isCheckable());
    EXPECT_FALSE(atLogin()->isChecked());

    atLogin()->trigger();
    EXPECT_TRUE(platform.login.registered);
    EXPECT_TRUE(atLogin()->isChecked());

    // Switched off behind the app's back: the mark follows the system, not what was chosen.
    platform.login.registered = false;
    app.tray().rebuildMenu();
    EXPECT_FALSE(atLogin()->isChecked());
    atLogin()->trigger();
    EXPECT_TRUE(platform.login.registered);
    atLogin()->trigger();
    EXPECT_FALSE(platform.login.registered);
}

// macOS registers only an app started from its bundle, and may hold a registration until the user
// allows it in System Settings: the row says so rather than showing a mark that means nothing.
TEST_F(DesktopShellTest, TheLoginRowTellsWhyItCannotTakeEffect) {
    using Availability = LoginItem::Availability;
    const struct {
        Availability availability;
        bool registered;
        bool approvalPending;
        bool enabled;
        bool checked;
        QString tip;
    } cases[] = {
        {Availability::NeedsAppBundle, false, false, false, false, "Mofli.app"},
        {Availability::NeedsAppBundle, true, false, false, false, "Mofli.app"},
        {Availability::Available, false, true, true, false, ""},
        {Availability::Available, true, true, true, true, "ログイン項目"},
    };
    AppDelegate app(platform, clock);
    app.launch();
    for (const auto& c : cases) {
        platform.login.availableAs = c.availability;
        platform.login.registered = c.registered;
        platform.login.approvalPending = c.approvalPending;
        app.tray().rebuildMenu();
        QAction* atLogin = row(app.tray().menu(), QStringLiteral("ログイン時に起動"));
        ASSERT_TRUE(atLogin);
        const QString label = QStringLiteral("case %1/%2/%3")
                                  .arg(int(c.availability))
                                  .arg(c.registered)
                                  .arg(c.approvalPending);
        EXPECT_EQ(atLogin->isEnabled(), c.enabled) << label.toStdString();
        EXPECT_EQ(atLogin->isChecked(), c.checked) << label.toStdString();
        // An action without a tool tip of its own gives its text.
        const QString tip = atLogin->toolTip() == atLogin->text() ? QString() : atLogin->toolTip();
        EXPECT_TRUE(c.tip.isEmpty() ? tip.isEmpty() : tip.contains(c.tip)) << label.toStdString();
        // The same below the row, where a native menu without tool tips shows it.
        const QList<QAction*> rows = app.tray().menu()->actions();
        QAction* next = rows.value(rows.indexOf(atLogin) + 1);
        ASSERT_TRUE(next);
        EXPECT_EQ(next->isSeparator(), c.tip.isEmpty()) << label.toStdString();
        if (!c.tip.isEmpty()) {
            EXPECT_EQ(next->text(), tip) << label.toStdString();
            EXPECT_FALSE(next->isEnabled()) << label.toStdString();
        }
    }
    // Waiting for approval counts as on: choosing the row takes the registration away.
    row(app.tray().menu(), QStringLiteral("ログイン時に起動"))->trigger();
    EXPECT_FALSE(platform.login.registered);
}

} // namespace

#include "AppFixture.h"
#include "AvatarView.h"
#include "AvatarWindow.h"
#include "Pet.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QScreen>
#include <QTest>

namespace {

using AvatarWindowTest = AppFixture;

TEST_F(AvatarWindowTest, SizeFollowsTheStoredScaleWithinItsLimits) {
    const struct {
        QVariant stored;
        double scale;
        QSize size;
    } cases[] = {
        {QVariant(), 1.0, {192, 264}},
        {1.0, 1.0, {192, 264}},
        {0.5, 0.5, {96, 132}},
        {2.0, 2.0, {384, 528}},
        {3.0, 2.0, {384, 528}},
        {0.2, 0.5, {96, 132}},
        {0.0, 1.0, {192, 264}},
        {QStringLiteral("1.5"), 1.5, {288, 396}},
        {QStringLiteral("large"), 1.0, {192, 264}},
        {QStringLiteral("nan"), 1.0, {192, 264}},
    };
    for (const auto& c : cases) {
        store("petScale", c.stored);
        AvatarWindow window(platform, clock);
        EXPECT_DOUBLE_EQ(window.scale(), c.scale) << c.stored.toString().toStdString();
        EXPECT_EQ(window.size(), c.size) << c.stored.toString().toStdString();
        EXPECT_EQ(window.avatarView()->geometry(), window.rect());
    }
}

TEST_F(AvatarWindowTest, ScalingKeepsTheTopLeftCornerAndPersistsEveryStep) {
    AvatarWindow window(platform, clock);
    window.move(100, 50);
    window.applyScale(1.5, QPointF(100, 50), QPointF(0, 0));
    EXPECT_EQ(window.geometry(), QRect(100, 50, 288, 396));
    EXPECT_DOUBLE_EQ(QSettings().value("petScale").toDouble(), 1.5);

    window.applyScale(0.1, QPointF(100, 50), QPointF(0, 0));
    EXPECT_EQ(window.geometry(), QRect(100, 50, 96, 132));
    EXPECT_DOUBLE_EQ(QSettings().value("petScale").toDouble(), 0.5);

    AvatarWindow reopened(platform, clock);
    EXPECT_DOUBLE_EQ(reopened.scale(), 0.5);
}

TEST_F(AvatarWindowTest, ScalingPastTheScreenEdgeMovesTheWindowBackInside) {
    AvatarWindow window(platform, clock);
    const QRect available = window.screen()->availableGeometry();
    const QPointF corner(available.right() - 250, available.top() + 10);
    window.move(corner.toPoint());
    window.applyScale(2.0, corner, QPointF(0, 0));
    EXPECT_EQ(window.size(), QSize(384, 528));
    EXPECT_TRUE(available.contains(window.geometry())) << "window must stay inside the screen";
    EXPECT_EQ(window.geometry().top(), int(corner.y()));
}

TEST_F(AvatarWindowTest, AlwaysOnTopComesFromThePreference) {
    const struct {
        QVariant stored;
        bool onTop;
    } cases[] = {{QVariant(), true},
                 {false, false},
                 {true, true},
                 {QStringLiteral("sometimes"), true},
                 {42, true}};
    for (const auto& c : cases) {
        store("alwaysOnTop", c.stored);
        AvatarWindow window(platform, clock);
        EXPECT_EQ(window.isAlwaysOnTop(), c.onTop) << c.stored.toString().toStdString();
        EXPECT_EQ(window.windowFlags().testFlag(Qt::WindowStaysOnTopHint), c.onTop);
        EXPECT_TRUE(window.windowFlags().testFlag(Qt::FramelessWindowHint));
        EXPECT_TRUE(window.testAttribute(Qt::WA_TranslucentBackground));
    }
}

// macOS puts every tool window above normal ones whatever its flags, and again whenever the app
// becomes active or inactive: the platform is asked for the preferred level once the native window
// exists, after each show and after each change of the application's state.
TEST_F(AvatarWindowTest, EveryShownNativeWindowIsStackedAsThePreferenceSays) {
    store("alwaysOnTop", false);
    AvatarWindow window(platform, clock);
    window.show();
    ASSERT_FALSE(platform.stackingRequests.isEmpty());
    EXPECT_FALSE(platform.stackingRequests.contains(true));
    const qsizetype shown = platform.stackingRequests.size();
    window.setAlwaysOnTop(true);
    ASSERT_GT(platform.stackingRequests.size(), shown);
    EXPECT_TRUE(platform.stackingRequests.back());
    window.setAlwaysOnTop(false);
    EXPECT_FALSE(platform.stackingRequests.back());

    for (const Qt::ApplicationState state : {Qt::ApplicationActive, Qt::ApplicationInactive}) {
        platform.stackingRequests.clear();
        emit qGuiApp->applicationStateChanged(state);
        EXPECT_EQ(platform.stackingRequests, QList<bool>{false}) << state;
    }
}

TEST_F(AvatarWindowTest, TogglingStackingKeepsThePosition) {
    AvatarWindow window(platform, clock);
    window.show();
    window.move(120, 80);
    window.setAlwaysOnTop(false);
    EXPECT_FALSE(window.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(window.pos(), QPoint(120, 80));
    window.setAlwaysOnTop(true);
    EXPECT_TRUE(window.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_EQ(window.pos(), QPoint(120, 80));
}

TEST_F(AvatarWindowTest, ASheetIsDecodedAsideAndOnlyTheLastChoiceShows) {
    const QString folder = addPet("good", "Good");
    const Pet good{"good", "Good", std::nullopt, QDir(folder).filePath("spritesheet.png"),
                   PetSource::bundled};
    const Pet broken{"broken", "Broken", std::nullopt, QDir(folder).filePath("missing.webp"),
                     PetSource::bundled};
    AvatarWindow window(platform, clock);
    const AvatarView* view = window.avatarView();
    EXPECT_TRUE(view->engine().placeholderVisible());
    window.loadPet(good);
    EXPECT_TRUE(view->engine().placeholderVisible()) << "nothing is decoded on the GUI thread";
    ASSERT_TRUE(waitUntil([&] { return view->sheet() != nullptr; }));
    EXPECT_FALSE(view->engine().placeholderVisible());

    // The pet on screen stays until the next sheet is ready; one that cannot be loaded leaves
    // the placeholder.
    const std::shared_ptr<SpriteSheet> shown = view->sheet();
    window.loadPet(broken);
    EXPECT_EQ(view->sheet(), shown);
    ASSERT_TRUE(waitUntil([&] { return view->engine().placeholderVisible(); }));
    EXPECT_FALSE(view->sheet());

    // Choices in quick succession: the last one shows, whatever the earlier ones held.
    for (const auto& [first, last] : {std::pair(good, broken), std::pair(broken, good)}) {
        window.loadPet(first);
        window.loadPet(last);
        const bool lastLoads = last.id == good.id;
        ASSERT_TRUE(waitUntil([&] { return (view->sheet() != nullptr) == lastLoads; }));
        QTest::qWait(100);
        EXPECT_EQ(view->sheet() != nullptr, lastLoads) << last.id.toStdString();
        EXPECT_EQ(view->engine().placeholderVisible(), !lastLoads);
    }
}

} // namespace

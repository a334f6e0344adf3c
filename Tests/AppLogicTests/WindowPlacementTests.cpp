#include "WindowPlacement.h"

#include <gtest/gtest.h>

using namespace WindowPlacement;

namespace {

const QSizeF petSize(192, 264);
// Two 1920 × 1080 screens side by side, each with a 30-point panel at the top.
const QList<QRectF> sideBySide = {QRectF(0, 30, 1920, 1050), QRectF(1920, 30, 1920, 1050)};

} // namespace

TEST(WindowPlacementTest, HomeIsFortyPointsInFromTheBottomRight) {
    EXPECT_EQ(homeOrigin(QRectF(0, 30, 1920, 1050), petSize), QPointF(1688, 776));
    EXPECT_EQ(homeOrigin(QRectF(-1280, -200, 1280, 1000), QSizeF(96, 132)),
              QPointF(-1280 + 1280 - 96 - 40, -200 + 1000 - 132 - 40));
}

TEST(WindowPlacementTest, ClampKeepsTheWindowInsideOneArea) {
    const QRectF area(0, 30, 1920, 1050);
    EXPECT_EQ(clampOrigin({100, 100}, petSize, area), QPointF(100, 100));
    EXPECT_EQ(clampOrigin({1800, 1000}, petSize, area), QPointF(1920 - 192, 1080 - 264));
    EXPECT_EQ(clampOrigin({-50, 0}, petSize, area), QPointF(0, 30));
    EXPECT_EQ(clampOrigin({-50, 0}, petSize, std::nullopt), QPointF(-50, 0));
    // Larger than the area: left and bottom edges line up with the area's.
    EXPECT_EQ(clampOrigin({500, 500}, QSizeF(2000, 1200), area), QPointF(0, 1080 - 1200));
}

TEST(WindowPlacementTest, ScalingKeepsTheAnchorInPlace) {
    // Top-left corner at (100, 136) grows to scale 1.5 towards the right and downwards.
    EXPECT_EQ(scaledOrigin({100, 136}, {0, 0}, QSizeF(288, 396)), QPointF(100, 136));
    EXPECT_EQ(scaledOrigin({196, 268}, {0.5, 0.5}, QSizeF(288, 396)), QPointF(52, 70));
    // A step past the right edge moves the whole window back inside.
    const QPointF grown = scaledOrigin({1700, 500}, {0, 0}, QSizeF(384, 528));
    EXPECT_EQ(clampOrigin(grown, QSizeF(384, 528), sideBySide[0]), QPointF(1920 - 384, 500));
}

TEST(WindowPlacementTest, BestScreenPrefersCentreThenOverlapThenDistance) {
    EXPECT_FALSE(bestScreen(QRectF(0, 0, 10, 10), {}));
    // Centre on the second screen although most of the window is on the first.
    EXPECT_EQ(bestScreen(QRectF(1800, 100, 240, 100), sideBySide), 1);
    // Centre in the panel strip above both screens: the larger overlap wins.
    EXPECT_EQ(bestScreen(QRectF(1850, 0, 192, 40), sideBySide), 1);
    EXPECT_EQ(bestScreen(QRectF(1750, 0, 192, 40), sideBySide), 0);
    // Equal overlaps: the earlier screen.
    EXPECT_EQ(bestScreen(QRectF(1824, 0, 192, 40), sideBySide), 0);
    // Touching nothing: the nearest by distance to the closest point.
    EXPECT_EQ(bestScreen(QRectF(2500, 3000, 100, 100), sideBySide), 1);
    EXPECT_EQ(bestScreen(QRectF(-900, -900, 10, 10), sideBySide), 0);
    // Stacked screens of different sizes: a laptop below a wide monitor.
    const QList<QRectF> stacked = {QRectF(0, 0, 2560, 1440), QRectF(640, 1440, 1280, 800)};
    EXPECT_EQ(bestScreen(QRectF(700, 1400, 192, 264), stacked), 1);
    EXPECT_EQ(bestScreen(QRectF(2000, 1500, 192, 264), stacked), 1);
    EXPECT_EQ(bestScreen(QRectF(2200, 1500, 192, 264), stacked), 0);
}

TEST(WindowPlacementTest, AcrossScreensLeavesAGrabbableWindowAlone) {
    // Only 30 points at the right edge of the second screen: not enough.
    EXPECT_EQ(clampOriginAcrossScreens({3810, 400}, petSize, sideBySide), QPointF(3840 - 48, 400));
    // Straddling the seam: visible on both, left alone.
    EXPECT_EQ(clampOriginAcrossScreens({1820, 400}, petSize, sideBySide), QPointF(1820, 400));
    // Hanging over the left edge with exactly 48 points showing is fine.
    EXPECT_EQ(clampOriginAcrossScreens({-144, 400}, petSize, sideBySide), QPointF(-144, 400));
    EXPECT_EQ(clampOriginAcrossScreens({-500, -500}, petSize, {}), QPointF(-500, -500));
}

TEST(WindowPlacementTest, AcrossScreensPullsALostWindowBackOntoTheNearestScreen) {
    // Entirely below both screens, nearer to the second one.
    EXPECT_EQ(clampOriginAcrossScreens({2500, 1500}, petSize, sideBySide),
              QPointF(2500, 1080 - 48));
    // Far off to the top left: the top-left corner of the first screen, 48 points showing.
    EXPECT_EQ(clampOriginAcrossScreens({-1000, -1000}, petSize, sideBySide),
              QPointF(-(192 - 48), 30 - (264 - 48)));
    // A window smaller than the grab size comes back whole.
    EXPECT_EQ(clampOriginAcrossScreens({5000, 500}, QSizeF(20, 30), sideBySide),
              QPointF(3840 - 20, 500));
    // In the gap of an L-shaped layout, below the wide monitor and beside the laptop.
    const QList<QRectF> stacked = {QRectF(0, 0, 2560, 1440), QRectF(640, 1440, 1280, 800)};
    EXPECT_EQ(clampOriginAcrossScreens({2200, 1600}, petSize, stacked), QPointF(2200, 1440 - 48));
}

TEST(WindowPlacementTest, AlertsStandAboveThePetInsideTheVisibleArea) {
    const QRectF visible(0, 25, 1280, 775);
    const QSizeF alert(300, 150);
    // Room above: centred on the pet, 12 points above its top edge.
    EXPECT_EQ(WindowPlacement::alertOrigin({600, 500, 192, 264}, alert, visible),
              QPointF(546, 338));
    // A pet near the top pushes the alert down to the area's top edge.
    EXPECT_EQ(WindowPlacement::alertOrigin({600, 60, 192, 264}, alert, visible), QPointF(546, 25));
    // Near the sides it is pulled back in.
    EXPECT_EQ(WindowPlacement::alertOrigin({-100, 500, 192, 264}, alert, visible),
              QPointF(0, 338));
    EXPECT_EQ(WindowPlacement::alertOrigin({1200, 500, 192, 264}, alert, visible),
              QPointF(980, 338));
    // Larger than the area: the top and right edges win.
    EXPECT_EQ(WindowPlacement::alertOrigin({600, 500, 192, 264}, {1500, 900}, visible),
              QPointF(-220, 25));
    // No screen: as computed.
    EXPECT_EQ(WindowPlacement::alertOrigin({600, 60, 192, 264}, alert, std::nullopt),
              QPointF(546, -102));
}

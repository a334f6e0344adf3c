#include "AppFixture.h"
#include "AvatarView.h"
#include "AvatarWindow.h"
#include "Pet.h"
#include "VirtualScheduler.h"

#include <QCoreApplication>
#include <QDir>
#include <QEnterEvent>
#include <QFontMetrics>
#include <QLineF>
#include <QMouseEvent>
#include <QSignalSpy>
#include <cmath>

namespace {

class AvatarViewTest : public AppFixture {
protected:
    void SetUp() override {
        AppFixture::SetUp();
        const QString folder = addPet("pet", "Pet");
        pet_ = Pet{"pet", "Pet", std::nullopt, QDir(folder).filePath("spritesheet.png"),
                   PetSource::bundled};
    }

    std::unique_ptr<AvatarWindow> makeWindow() {
        auto window = std::make_unique<AvatarWindow>(platform, scheduler_);
        window->move(200, 150);
        window->loadPet(pet_);
        EXPECT_TRUE(waitUntil([&] { return window->avatarView()->sheet() != nullptr; }));
        return window;
    }

    static void send(AvatarView* view, QEvent::Type type, QPointF local, Qt::MouseButton button,
                     QPointF global = {}) {
        if (global.isNull()) {
            global = view->mapToGlobal(local);
        }
        const Qt::MouseButtons held =
            type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(button);
        QMouseEvent event(type, local, global, type == QEvent::MouseMove ? Qt::NoButton : button,
                          held, Qt::NoModifier);
        QCoreApplication::sendEvent(view, &event);
    }

    static void hover(AvatarView* view, QPointF local) {
        QEnterEvent event(local, local, view->mapToGlobal(local));
        QCoreApplication::sendEvent(view, &event);
    }

    void showBubble(AvatarView* view, const QString& message,
                    const std::optional<QString>& label = std::nullopt,
                    const std::optional<TerminalOrigin>& origin = std::nullopt) {
        view->apply("running", message, label, std::nullopt, false, origin);
        scheduler_.advance(0.5);
    }

    VirtualScheduler scheduler_;
    Pet pet_;
};

TEST_F(AvatarViewTest, FramesAreDrawnWithWholeDevicePixelsPerArtPixel) {
    EXPECT_EQ(AvatarView::frameRectFor({192, 264}, 1), QRectF(0, 56, 192, 208));
    EXPECT_EQ(AvatarView::frameRectFor({96, 132}, 1), QRectF(0, 28, 96, 104));
    EXPECT_EQ(AvatarView::frameRectFor({384, 528}, 1), QRectF(0, 112, 384, 416));
    EXPECT_EQ(AvatarView::frameRectFor({192, 264}, 2), QRectF(0, 56, 192, 208));
    EXPECT_EQ(AvatarView::frameRectFor({0, 0}, 1).height(), 0);
    for (double dpr : {1.0, 1.5, 2.0}) {
        for (double scale : {0.75, 1.0, 1.25, 1.5, 2.0}) {
            const QSizeF view(192 * scale, 264 * scale);
            const QRectF rect = AvatarView::frameRectFor(view, dpr);
            const double perArt = rect.width() * dpr / 192;
            if (192 * scale * dpr >= 192) {
                EXPECT_NEAR(perArt, std::round(perArt), 1e-9) << dpr << " " << scale;
            }
            EXPECT_NEAR(rect.height() * dpr / 208, perArt, 1e-9);
            EXPECT_LE(rect.right(), view.width() + 1e-9);
            EXPECT_LE(rect.bottom(), view.height() + 1e-9);
            EXPECT_NEAR(rect.left() * dpr, std::round(rect.left() * dpr), 1e-9);
        }
    }
}

TEST_F(AvatarViewTest, ArtDrawnInBlocksGrowsInWholeDevicePixelsPerBlock) {
    // Four sheet pixels per art pixel: at scale 1.5 each art pixel takes six screen pixels, so
    // the pet grows with the window instead of waiting for the next whole factor.
    EXPECT_EQ(AvatarView::frameRectFor({288, 396}, 1, 4), QRectF(0, 84, 288, 312));
    const QRectF between = AvatarView::frameRectFor({192 * 1.3, 264 * 1.3}, 1, 4);
    EXPECT_EQ(between.width(), 240); // five screen pixels per art pixel
    EXPECT_EQ(between.height(), 260);
    const QRectF dense = AvatarView::frameRectFor({192, 264}, 1.5, 4);
    EXPECT_DOUBLE_EQ(dense.width() * 1.5 / 48, 6); // 48 art pixels wide, six device pixels each
}

TEST_F(AvatarViewTest, BubbleHugsItsTextWithinItsLimits) {
    const int lineHeight = [] {
        QFont font;
        font.setPixelSize(11);
        return QFontMetrics(font).height();
    }();
    for (double scale : {0.5, 1.0, 2.0}) {
        QSettings().setValue("petScale", scale);
        auto window = makeWindow();
        AvatarView* view = window->avatarView();
        EXPECT_TRUE(view->bubbleRect().isEmpty());

        showBubble(view, "OK");
        const QRect small = view->bubbleRect();
        EXPECT_EQ(small.top(), 4);
        EXPECT_EQ(small.height(), 32);
        EXPECT_LT(small.width(), 60);
        EXPECT_LE(std::abs(small.center().x() - view->width() / 2), 1) << "centred";

        for (const QString& text :
             {QString(47, QChar(0x3042)) + "…",
              QStringLiteral("a very long message that certainly needs several lines here")}) {
            showBubble(view, text, QStringLiteral("実行中"));
            const QRect box = view->bubbleRect();
            EXPECT_LE(box.width(), 260) << scale;
            EXPECT_LE(box.width(), view->width() - 8) << scale;
            EXPECT_GE(box.left(), 4);
            EXPECT_GE(box.height(), 32);
            EXPECT_LE(box.height(), 3 * lineHeight + 12) << "at most three lines";
            EXPECT_TRUE(view->rect().contains(box));
        }
        showBubble(view, "   ");
        EXPECT_TRUE(view->bubbleRect().isEmpty());
    }
}

TEST_F(AvatarViewTest, AClickMakesThePetJumpAndThenReturn) {
    auto window = makeWindow();
    AvatarView* view = window->avatarView();
    const QPointF body(96, 160);
    send(view, QEvent::MouseButtonPress, body, Qt::LeftButton);
    send(view, QEvent::MouseButtonRelease, body, Qt::LeftButton);
    EXPECT_EQ(view->engine().currentState(), HatchState::jumping);
    scheduler_.advance(1.0);
    EXPECT_EQ(view->engine().currentState(), HatchState::idle);
}

TEST_F(AvatarViewTest, ClickOnTheBubbleGoesToTheTerminalWhenItsOriginIsKnown) {
    auto window = makeWindow();
    AvatarView* view = window->avatarView();
    showBubble(view, "$ npm …", "実行中", TerminalOrigin{{}, {}, "/dev/ttys001", {}});
    const QPointF onBubble = view->bubbleRect().center();
    // Nobody to bring a terminal forward: the pet answers the click itself.
    send(view, QEvent::MouseButtonPress, onBubble, Qt::LeftButton);
    send(view, QEvent::MouseButtonRelease, onBubble, Qt::LeftButton);
    EXPECT_EQ(view->engine().currentState(), HatchState::jumping);
    scheduler_.advance(2.0);
    showBubble(view, "$ npm …", "実行中", TerminalOrigin{{}, {}, "/dev/ttys001", {}});

    QSignalSpy requests(view, &AvatarView::terminalActivationRequested);
    send(view, QEvent::MouseButtonPress, onBubble, Qt::LeftButton);
    send(view, QEvent::MouseButtonRelease, onBubble, Qt::LeftButton);
    ASSERT_EQ(requests.size(), 1);
    EXPECT_EQ(requests[0][0].value<TerminalOrigin>().tty, QStringLiteral("/dev/ttys001"));
    EXPECT_EQ(view->engine().currentState(), HatchState::running) << "the receiver decides";

    const QPointF body(96, 160);
    send(view, QEvent::MouseButtonPress, body, Qt::LeftButton);
    send(view, QEvent::MouseButtonRelease, body, Qt::LeftButton);
    EXPECT_EQ(requests.size(), 1) << "only the bubble leads to the terminal";
    EXPECT_EQ(view->engine().currentState(), HatchState::jumping);
}

TEST_F(AvatarViewTest, AMoveWithoutTheButtonEndsALostDrag) {
    auto window = makeWindow();
    AvatarView* view = window->avatarView();
    const QPoint start = window->pos();
    const QPointF grab(96, 160);
    const QPointF global = view->mapToGlobal(grab);
    send(view, QEvent::MouseButtonPress, grab, Qt::LeftButton, global);
    send(view, QEvent::MouseMove, grab, Qt::LeftButton, global + QPointF(30, 0));
    ASSERT_TRUE(view->engine().isWalking());
    // The release went to a context menu; the pointer then moves with no button held.
    send(view, QEvent::MouseMove, grab, Qt::NoButton, global + QPointF(80, 0));
    EXPECT_EQ(window->pos(), start + QPoint(30, 0)) << "the pet must not follow a bare pointer";
    EXPECT_FALSE(view->engine().isWalking());
    send(view, QEvent::MouseMove, grab, Qt::NoButton, global + QPointF(120, 0));
    EXPECT_FALSE(view->engine().isWalking());
    // States from Claude Code are no longer held back.
    scheduler_.advance(1.0);
    view->apply("failed", std::nullopt, std::nullopt, std::nullopt, false, std::nullopt);
    EXPECT_EQ(view->engine().currentState(), HatchState::failed);
}

TEST_F(AvatarViewTest, TheResizeHandleIsNamedForAssistiveTechnology) {
    auto window = makeWindow();
    AvatarView* view = window->avatarView();
    hover(view, view->handleRect().center());
    QStringList names;
    for (const QWidget* child : view->findChildren<QWidget*>()) {
        if (!child->isHidden()) {
            names.append(child->accessibleName());
            EXPECT_EQ(child->geometry(), view->handleRect());
            EXPECT_TRUE(child->testAttribute(Qt::WA_TransparentForMouseEvents));
        }
    }
    EXPECT_EQ(names, QStringList{QStringLiteral("リサイズ")});
}

TEST_F(AvatarViewTest, DraggingMovesTheWindowAndWalksWithoutAJump) {
    // Where the press puts the window, against where Qt has it: Qt's idea can be out of date
    // (X11, when the window manager placed the window after Qt asked for its position).
    for (const QPoint reportedOffset : {QPoint(0, 0), QPoint(400, 300)}) {
        SCOPED_TRACE(reportedOffset.x());
        auto window = makeWindow();
        AvatarView* view = window->avatarView();
        const QPoint start = window->pos() + reportedOffset;
        const QPointF grab(96, 160);
        const QPointF global = view->mapToGlobal(grab) + reportedOffset;
        send(view, QEvent::MouseButtonPress, grab, Qt::LeftButton, global);
        send(view, QEvent::MouseMove, grab, Qt::LeftButton, global + QPointF(30, 10));
        EXPECT_EQ(window->pos(), start + QPoint(30, 10));
        EXPECT_EQ(view->engine().currentState(), HatchState::runningRight);
        send(view, QEvent::MouseMove, grab, Qt::LeftButton, global + QPointF(10, 10));
        EXPECT_EQ(view->engine().currentState(), HatchState::runningLeft);
        send(view, QEvent::MouseButtonRelease, grab, Qt::LeftButton, global + QPointF(10, 10));
        EXPECT_EQ(window->pos(), start + QPoint(10, 10));
        EXPECT_EQ(view->engine().currentState(), HatchState::idle);
        EXPECT_FALSE(view->engine().isWalking());
    }
}

TEST_F(AvatarViewTest, DraggingTheHandleScalesAroundTheTopLeftCorner) {
    auto window = makeWindow();
    AvatarView* view = window->avatarView();
    const QPointF handle = view->handleRect().center();
    send(view, QEvent::MouseButtonPress, handle, Qt::LeftButton);
    EXPECT_DOUBLE_EQ(window->scale(), 1.0) << "a hidden handle cannot be grabbed";
    send(view, QEvent::MouseButtonRelease, handle, Qt::LeftButton);
    scheduler_.advance(1.0);

    hover(view, handle);
    ASSERT_TRUE(view->isHandleVisible());
    const QPoint corner = window->pos();
    const QPointF global = view->mapToGlobal(handle);
    send(view, QEvent::MouseButtonPress, handle, Qt::LeftButton, global);
    // Pointer positions arrive in whole points; the scale follows the distance from the corner.
    const QPoint further = corner + ((global - QPointF(corner)) * 1.5).toPoint();
    send(view, QEvent::MouseMove, handle, Qt::LeftButton, further);
    send(view, QEvent::MouseButtonRelease, handle, Qt::LeftButton, further);
    const double expected = QLineF(corner, further).length() / QLineF(corner, global).length();
    EXPECT_NEAR(window->scale(), expected, 1e-9);
    EXPECT_NEAR(window->scale(), 1.5, 0.01);
    EXPECT_EQ(window->pos(), corner);
    EXPECT_EQ(window->size(), AvatarWindow::sizeForScale(expected));
    EXPECT_DOUBLE_EQ(QSettings().value("petScale").toDouble(), expected);
    EXPECT_NE(view->engine().currentState(), HatchState::jumping);
}

TEST_F(AvatarViewTest, RightClickAsksForTheContextMenuAndNothingElse) {
    auto window = makeWindow();
    AvatarView* view = window->avatarView();
    QSignalSpy requested(view, &AvatarView::contextMenuRequested);
    const QPointF body(96, 160);
    send(view, QEvent::MouseButtonPress, body, Qt::RightButton);
    send(view, QEvent::MouseButtonRelease, body, Qt::RightButton);
    ASSERT_EQ(requested.size(), 1);
    EXPECT_EQ(requested[0][0].toPoint(), view->mapToGlobal(body).toPoint());
    EXPECT_EQ(view->engine().currentState(), HatchState::idle);
}

TEST_F(AvatarViewTest, PaintedRegionCoversTheVisiblePixelsOnly) {
    auto window = makeWindow();
    AvatarView* view = window->avatarView();
    // The generated sheet fills whole cells except their top-left pixel.
    const QRegion frameOnly = view->paintedRegion();
    EXPECT_TRUE(frameOnly.contains(QPoint(100, 150)));
    EXPECT_FALSE(frameOnly.contains(QPoint(0, 56)));
    EXPECT_FALSE(frameOnly.contains(QPoint(100, 20))) << "the bubble band is empty";
    showBubble(view, "hello");
    EXPECT_TRUE(view->paintedRegion().contains(view->bubbleRect().center()));
    view->unloadPet();
    EXPECT_FALSE(view->paintedRegion().contains(QPoint(10, 250)));
    EXPECT_TRUE(view->paintedRegion().contains(view->rect().center()));
}

} // namespace

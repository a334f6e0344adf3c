#include "AvatarView.h"
#include "AvatarWindow.h"
#include "Platform.h"
#include "PlatformFactory.h"
#include "QtScheduler.h"
#include "X11Fixture.h"

#include <QProcess>
#include <QStandardPaths>
#include <QWindow>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <cstdint>
#include <vector>

namespace {

// What the window manager and the X server report about one client window.
class X11Window {
public:
    explicit X11Window(QWidget* widget)
        : display_(qGuiApp->nativeInterface<QNativeInterface::QX11Application>()->display()),
          window_(static_cast<Window>(widget->windowHandle()->winId())) {}

    std::vector<unsigned long> cardinals(const char* property, Atom type) const {
        Atom actualType = None;
        int format = 0;
        unsigned long count = 0, remaining = 0;
        unsigned char* data = nullptr;
        std::vector<unsigned long> values;
        if (XGetWindowProperty(display_, window_, atom(property), 0, 64, False, type, &actualType,
                               &format, &count, &remaining, &data) == Success &&
            data != nullptr) {
            const auto* longs = reinterpret_cast<const unsigned long*>(data);
            values.assign(longs, longs + count);
        }
        if (data) {
            XFree(data);
        }
        return values;
    }

    bool hasState(const char* state) const {
        const auto states = cardinals("_NET_WM_STATE", XA_ATOM);
        return std::find(states.begin(), states.end(), atom(state)) != states.end();
    }

    // Top-left corner of the client area on the root window, as the server has it.
    QPoint position() const {
        int x = 0, y = 0;
        Window child = None;
        XTranslateCoordinates(display_, window_, DefaultRootWindow(display_), 0, 0, &x, &y, &child);
        return {x, y};
    }

    bool isViewable() const {
        XWindowAttributes attributes{};
        return XGetWindowAttributes(display_, window_, &attributes) != 0 &&
               attributes.map_state == IsViewable;
    }

    // Asks the window manager to show another workspace, as a pager would.
    void switchToWorkspace(long index) const {
        XEvent event{};
        event.xclient.type = ClientMessage;
        event.xclient.window = DefaultRootWindow(display_);
        event.xclient.message_type = atom("_NET_CURRENT_DESKTOP");
        event.xclient.format = 32;
        event.xclient.data.l[0] = index;
        event.xclient.data.l[1] = CurrentTime;
        XSendEvent(display_, DefaultRootWindow(display_), False,
                   SubstructureRedirectMask | SubstructureNotifyMask, &event);
        XFlush(display_);
    }

    long currentWorkspace() const {
        Atom type = None;
        int format = 0;
        unsigned long count = 0, remaining = 0;
        unsigned char* data = nullptr;
        long current = -1;
        if (XGetWindowProperty(display_, DefaultRootWindow(display_), atom("_NET_CURRENT_DESKTOP"),
                               0, 1, False, XA_CARDINAL, &type, &format, &count, &remaining,
                               &data) == Success &&
            data != nullptr && count == 1) {
            current = long(*reinterpret_cast<const unsigned long*>(data));
        }
        if (data) {
            XFree(data);
        }
        return current;
    }

    Atom atom(const char* name) const { return XInternAtom(display_, name, False); }

    Window window() const { return window_; }

    // The window manager's frame around `window`: the root's child holding it.
    Window frameOf(Window window) const {
        for (;;) {
            Window root = None, parent = None;
            Window* children = nullptr;
            unsigned int count = 0;
            if (!XQueryTree(display_, window, &root, &parent, &children, &count)) {
                return None;
            }
            if (children) {
                XFree(children);
            }
            if (parent == root) {
                return window;
            }
            window = parent;
        }
    }

    Window frame() const { return frameOf(window_); }

    // Asks the window manager to activate `window`, as a pager would.
    void activate(Window window) const {
        XEvent event{};
        event.xclient.type = ClientMessage;
        event.xclient.window = window;
        event.xclient.message_type = atom("_NET_ACTIVE_WINDOW");
        event.xclient.format = 32;
        event.xclient.data.l[0] = 2;
        XSendEvent(display_, DefaultRootWindow(display_), False,
                   SubstructureRedirectMask | SubstructureNotifyMask, &event);
        XFlush(display_);
    }

    Window activeWindow() const {
        Atom type = None;
        int format = 0;
        unsigned long count = 0, remaining = 0;
        unsigned char* data = nullptr;
        Window active = None;
        if (XGetWindowProperty(display_, DefaultRootWindow(display_), atom("_NET_ACTIVE_WINDOW"), 0,
                               1, False, XA_WINDOW, &type, &format, &count, &remaining,
                               &data) == Success &&
            data != nullptr && count == 1) {
            active = Window(*reinterpret_cast<const unsigned long*>(data));
        }
        if (data) {
            XFree(data);
        }
        return active;
    }

    // The root's child that the X server hands a press at `point` on the root; None: the root.
    Window windowAt(QPoint point) const {
        int x = 0, y = 0;
        Window child = None;
        XTranslateCoordinates(display_, DefaultRootWindow(display_), DefaultRootWindow(display_),
                              point.x(), point.y(), &x, &y, &child);
        return child;
    }

    // The windows the root shows: the window manager's frames and its own menus.
    int shownWindows() const {
        Window root = None, parent = None;
        Window* children = nullptr;
        unsigned int count = 0;
        int shown = 0;
        if (XQueryTree(display_, DefaultRootWindow(display_), &root, &parent, &children, &count)) {
            for (unsigned int i = 0; i < count; ++i) {
                XWindowAttributes attributes{};
                if (XGetWindowAttributes(display_, children[i], &attributes) &&
                    attributes.c_class == InputOutput && attributes.map_state == IsViewable) {
                    ++shown;
                }
            }
            XFree(children);
        }
        return shown;
    }

private:
    Display* display_;
    Window window_;
};

class X11PlatformTest : public X11Fixture {
protected:
    void SetUp() override {
        X11Fixture::SetUp();
        if (IsSkipped()) {
            return;
        }
        platform_ = PlatformFactory::create();
    }

    std::unique_ptr<Platform> platform_;
    QtScheduler clock_;
};

TEST_F(X11PlatformTest, ABareServerHasNoCompositorSoThePetIsShaped) {
    EXPECT_FALSE(platform_->compositesTranslucentWindows());
    AvatarWindow window(*platform_, clock_);
    window.show();
    ASSERT_TRUE(settle([&] { return window.isVisible(); }));
    EXPECT_FALSE(window.windowHandle()->mask().isEmpty()) << "transparent parts would show black";
}

// Shaped for drawing, the pet still takes every press in its rectangle, as on a compositing
// desktop: a press between its pixels must not reach the desktop (openbox's root menu) or a
// window below.
TEST_F(X11PlatformTest, PressesBetweenThePetsPixelsReachThePet) {
    if (QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty()) {
        GTEST_SKIP() << "xdotool is not installed (scripts/setup installs it)";
    }
    AvatarWindow window(*platform_, clock_);
    window.show();
    window.move(300, 200);
    // Qt replaces the native window when the stacking changes; each look asks for the current.
    const auto pet = [&window] {
        return X11Window(&window);
    };
    ASSERT_TRUE(settle([&] { return pet().isViewable() && pet().position() == QPoint(300, 200); }));
    // Between the pet's pixels: the bubble band is empty while no state came in.
    const QPoint inside(6, 6);
    ASSERT_FALSE(window.windowHandle()->mask().contains(inside)) << "the pet draws its corner";
    int menuRequests = 0;
    QObject::connect(window.avatarView(), &AvatarView::contextMenuRequested,
                     [&menuRequests] { ++menuRequests; });
    const auto rightClick = [](QPoint at) {
        return QStringList{"mousemove", QString::number(at.x()), QString::number(at.y()), "click",
                           "3"};
    };
    const auto drag = [](QPoint from, QPoint by) {
        const QPoint to = from + by;
        return QStringList{
            "mousemove", QString::number(from.x()), QString::number(from.y()), "mousedown", "1",
            "mousemove", QString::number(to.x()),   QString::number(to.y()),   "mouseup",   "1"};
    };
    // Another program's window, brought to the front over the pet (no longer always on top),
    // then the pet brought back over it: the window manager restacks the pet's frame alone.
    Window other = None;
    const auto activate = [&](const std::function<Window()>& window) {
        pet().activate(window());
        return settle([&] { return pet().activeWindow() == window(); });
    };
    const auto raiseAnotherWindowOverThePet = [&] {
        // Away from the pet, whose hover shows the resize handle and reshapes the window anew.
        QProcess::execute(QStringLiteral("xdotool"), {"mousemove", "0", "0"});
        const QPoint where = pet().position();
        window.setAlwaysOnTop(false);
        if (!settle([&] { return pet().isViewable() && pet().position() == where; })) {
            return false;
        }
        const QPoint corner = where - QPoint(50, 50);
        other = XCreateSimpleWindow(display(), DefaultRootWindow(display()), corner.x(), corner.y(),
                                    300, 380, 0, 0, 0);
        // Where it asks to be, not where the window manager would place it.
        XSizeHints hints{};
        hints.flags = USPosition | USSize;
        XSetWMNormalHints(display(), other, &hints);
        XMapWindow(display(), other);
        XWindowAttributes attributes{};
        return settle([&] {
                   return XGetWindowAttributes(display(), other, &attributes) &&
                          attributes.map_state == IsViewable;
               }) &&
               activate([&] { return other; });
    };
    const struct {
        const char* gesture;
        std::function<bool()> prepare;
        bool petTakesThePress;
        std::function<QStringList(QPoint)> xdotool;
        std::function<bool()> reachedThePet;
    } cases[] = {
        {"a right click asks for the pet's menu", nullptr, true, rightClick,
         [&] {
             return menuRequests == 1;
         }},
        {"a drag moves the pet", nullptr, true, [&](QPoint at) { return drag(at, QPoint(60, 40)); },
         [&] {
             return pet().position() == QPoint(360, 240);
         }},
        {"a window over the pet keeps its presses", raiseAnotherWindowOverThePet, false, nullptr,
         nullptr},
        {"the pet back in front takes them again",
         [&] { return activate([&] { return pet().window(); }); }, true, rightClick,
         [&] {
             return menuRequests == 2;
         }},
    };
    for (const auto& gesture : cases) {
        SCOPED_TRACE(gesture.gesture);
        if (gesture.prepare) {
            ASSERT_TRUE(gesture.prepare());
        }
        const X11Window x11 = pet();
        const QPoint press = x11.position() + inside;
        // Where the X server hands a press. The pixel shows what lies beneath (the pet's window
        // is shaped there), yet the press is the pet's unless a window covers it.
        const Window otherFrame = other ? x11.frameOf(other) : None;
        Window taker = None;
        const bool rightTaker = settle([&] {
            taker = x11.windowAt(press);
            if (!gesture.petTakesThePress) {
                return taker == otherFrame;
            }
            return taker != None && taker != otherFrame && taker != x11.frame();
        });
        EXPECT_TRUE(rightTaker) << "a press there reaches "
                                << (taker == None          ? "the desktop"
                                    : taker == otherFrame  ? "the other window"
                                    : taker == x11.frame() ? "the pet's unshaped window"
                                                           : "the pet");
        if (!gesture.xdotool) {
            continue;
        }
        const int shownBefore = x11.shownWindows();
        QProcess::execute(QStringLiteral("xdotool"), gesture.xdotool(press));
        EXPECT_TRUE(settle(gesture.reachedThePet));
        EXPECT_EQ(x11.shownWindows(), shownBefore) << "the desktop's menu opened";
    }
    XDestroyWindow(display(), other);
}

TEST_F(X11PlatformTest, ThePetIsOnEveryWorkspaceAndOutOfTaskBars) {
    AvatarWindow window(*platform_, clock_);
    window.show();
    const X11Window x11(&window);
    ASSERT_TRUE(settle([&] { return x11.isViewable(); }));
    EXPECT_TRUE(settle([&] { return x11.hasState("_NET_WM_STATE_SKIP_TASKBAR"); }));
    EXPECT_TRUE(x11.hasState("_NET_WM_STATE_SKIP_PAGER"));
    // The window manager rewrites the desktop of a window it placed on a single one.
    const auto desktop = x11.cardinals("_NET_WM_DESKTOP", XA_CARDINAL);
    ASSERT_EQ(desktop.size(), 1u);
    // Xlib hands 32-bit values over in longs, sign-extended.
    EXPECT_EQ(static_cast<std::uint32_t>(desktop[0]), 0xFFFFFFFFu);
    x11.switchToWorkspace(1);
    ASSERT_TRUE(settle([&] { return x11.currentWorkspace() == 1; }))
        << "the window manager offers no second workspace";
    EXPECT_TRUE(x11.isViewable()) << "the pet stayed behind on the first workspace";
}

TEST_F(X11PlatformTest, ChangingTheStackingKeepsThePetWhereItWas) {
    AvatarWindow window(*platform_, clock_);
    window.show();
    const X11Window x11(&window);
    ASSERT_TRUE(settle([&] { return x11.hasState("_NET_WM_STATE_ABOVE"); }));
    window.move(300, 200);
    ASSERT_TRUE(settle([&] { return x11.position() == QPoint(300, 200); }))
        << "at " << x11.position().x() << "," << x11.position().y();

    window.setAlwaysOnTop(false);
    const X11Window recreated(&window);
    ASSERT_TRUE(settle([&] { return recreated.isViewable(); }));
    EXPECT_FALSE(recreated.hasState("_NET_WM_STATE_ABOVE"));
    EXPECT_TRUE(settle([&] { return recreated.position() == QPoint(300, 200); }))
        << "moved to " << recreated.position().x() << "," << recreated.position().y();

    window.setAlwaysOnTop(true);
    const X11Window again(&window);
    ASSERT_TRUE(settle([&] { return again.hasState("_NET_WM_STATE_ABOVE"); }));
    EXPECT_TRUE(settle([&] { return again.position() == QPoint(300, 200); }));
    EXPECT_TRUE(settle([&] { return again.hasState("_NET_WM_STATE_SKIP_TASKBAR"); }))
        << "a new native window stays out of task bars too";
}

} // namespace

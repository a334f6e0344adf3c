#include "AvatarWindow.h"
#include "Platform.h"
#include "PlatformFactory.h"
#include "QtScheduler.h"
#include "X11Fixture.h"

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
    EXPECT_FALSE(window.mask().isEmpty()) << "transparent parts would show black";
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

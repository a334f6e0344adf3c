#include "X11WindowShape.h"

#include <QCoreApplication>
#include <QEvent>
#include <QSocketNotifier>
#include <QWidget>
#include <QWindow>
#include <X11/Xlib.h>
#include <xcb/xcb.h>

X11WindowShape::X11WindowShape(Display* display, QWidget* window)
    : QObject(window), display_(display), watch_(XOpenDisplay(DisplayString(display))),
      window_(window), root_(DefaultRootWindow(display)) {
    XSetWindowAttributes attributes{};
    attributes.override_redirect = True;
    attributes.event_mask = ButtonPressMask | ButtonReleaseMask | ButtonMotionMask;
    catcher_ = XCreateWindow(display, root_, 0, 0, 1, 1, 0, 0, InputOnly, CopyFromParent,
                             CWOverrideRedirect | CWEventMask, &attributes);
    XFlush(display);
    // Whenever the window manager restacks, another window may end up between the window and
    // the catcher; only the root hears of every such change.
    if (watch_) {
        XSelectInput(watch_, DefaultRootWindow(watch_), SubstructureNotifyMask);
        XFlush(watch_);
        auto* notifier = new QSocketNotifier(ConnectionNumber(watch_), QSocketNotifier::Read, this);
        connect(notifier, &QSocketNotifier::activated, this, &X11WindowShape::drainRootChanges);
    }
    QCoreApplication::instance()->installNativeEventFilter(this);
    window->installEventFilter(this);
    scheduleFollow();
}

X11WindowShape::~X11WindowShape() {
    QCoreApplication::instance()->removeNativeEventFilter(this);
    XDestroyWindow(display_, catcher_);
    XFlush(display_);
    if (watch_) {
        XCloseDisplay(watch_);
    }
}

void X11WindowShape::setVisiblePixels(const QRegion& visible) {
    visible_ = visible;
    applyShape();
}

void X11WindowShape::applyShape() {
    // The shape of the native window alone: a mask on the widget would also make Qt hand the
    // presses outside it to the window instead of the view below them.
    if (QWindow* handle = window_->windowHandle(); handle && handle->handle()) {
        handle->setMask(visible_);
    }
}

bool X11WindowShape::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::WinIdChange:
        // Qt keeps a window's shape for the native windows it makes from then on; given before
        // the first is mapped, it never shows black.
        applyShape();
        scheduleFollow();
        break;
    case QEvent::Show:
    case QEvent::Hide:
    case QEvent::Move:
    case QEvent::Resize:
        scheduleFollow();
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

bool X11WindowShape::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
    if (eventType != "xcb_generic_event_t") {
        return false;
    }
    auto* event = static_cast<xcb_generic_event_t*>(message);
    switch (event->response_type & ~0x80) {
    case XCB_BUTTON_PRESS:
    case XCB_BUTTON_RELEASE:
    case XCB_MOTION_NOTIFY: {
        // The three events share one layout. Rewritten, Qt takes them for the window's own.
        auto* pointer = reinterpret_cast<xcb_button_press_event_t*>(event);
        if (pointer->event == catcher_ && target_ != 0) {
            pointer->event = xcb_window_t(target_);
            pointer->child = XCB_NONE;
            pointer->event_x = int16_t(pointer->root_x - targetOrigin_.x());
            pointer->event_y = int16_t(pointer->root_y - targetOrigin_.y());
        }
        return false;
    }
    default:
        return false;
    }
}

namespace {

// The root's child that a change reported on the root concerns; None for anything else.
Window changedChild(const XEvent& event) {
    switch (event.type) {
    case CreateNotify:
        return event.xcreatewindow.window;
    case DestroyNotify:
        return event.xdestroywindow.window;
    case MapNotify:
        return event.xmap.window;
    case UnmapNotify:
        return event.xunmap.window;
    case ReparentNotify:
        return event.xreparent.window;
    case ConfigureNotify:
        return event.xconfigure.window;
    case GravityNotify:
        return event.xgravity.window;
    case CirculateNotify:
        return event.xcirculate.window;
    default:
        return None;
    }
}

} // namespace

void X11WindowShape::drainRootChanges() {
    bool moved = false;
    bool restacked = false;
    while (XPending(watch_) > 0) {
        XEvent event;
        XNextEvent(watch_, &event);
        // The catcher's own moves change nothing else.
        const Window child = changedChild(event);
        if (child == None || child == catcher_) {
            continue;
        }
        // Only a change of the window or its frame can move it; any other window may only have
        // come between the two.
        if (child == target_ || child == frame_) {
            moved = true;
        } else {
            restacked = true;
        }
    }
    // Until the window is followed (not yet mapped, or mapped just now), any change may be the
    // one that shows it.
    if (moved || (restacked && target_ == 0)) {
        scheduleFollow();
    } else if (restacked) {
        // Without a round trip: asking the server while it maps another window (the picker, a
        // menu) would hold the GUI thread until it is done.
        XWindowChanges changes{};
        changes.sibling = frame_;
        changes.stack_mode = Below;
        XConfigureWindow(display_, catcher_, CWSibling | CWStackMode, &changes);
        XFlush(display_);
    }
}

void X11WindowShape::scheduleFollow() {
    // One look per turn of the event loop, however many changes it brought.
    if (!followPending_) {
        followPending_ = true;
        QMetaObject::invokeMethod(this, &X11WindowShape::follow, Qt::QueuedConnection);
    }
}

void X11WindowShape::follow() {
    followPending_ = false;
    // The widget's QWindow knows the current native window, also after Qt replaced it without
    // telling the widget (Qt shapes the replacement itself).
    const QWindow* handle = window_->windowHandle();
    const Window current = handle && handle->handle() ? Window(handle->winId()) : None;
    XWindowAttributes attributes{};
    if (current == None || !window_->isVisible() ||
        XGetWindowAttributes(display_, current, &attributes) == 0 ||
        attributes.map_state != IsViewable) {
        XUnmapWindow(display_, catcher_);
        XFlush(display_);
        target_ = 0;
        frame_ = 0;
        return;
    }
    int x = 0;
    int y = 0;
    Window child = None;
    XTranslateCoordinates(display_, current, root_, 0, 0, &x, &y, &child);
    XWindowChanges changes{};
    changes.x = x;
    changes.y = y;
    changes.width = attributes.width;
    changes.height = attributes.height;
    frame_ = frameOf(current);
    changes.sibling = frame_;
    changes.stack_mode = Below;
    XConfigureWindow(display_, catcher_, CWX | CWY | CWWidth | CWHeight | CWSibling | CWStackMode,
                     &changes);
    XMapWindow(display_, catcher_);
    XFlush(display_);
    target_ = current;
    targetOrigin_ = QPoint(x, y);
}

unsigned long X11WindowShape::frameOf(unsigned long window) const {
    // A reparenting window manager puts the window into a frame, the root's child.
    for (;;) {
        Window rootReturn = None;
        Window parent = None;
        Window* children = nullptr;
        unsigned int count = 0;
        if (XQueryTree(display_, window, &rootReturn, &parent, &children, &count) == 0) {
            return window;
        }
        if (children) {
            XFree(children);
        }
        if (parent == root_ || parent == None) {
            return window;
        }
        window = parent;
    }
}

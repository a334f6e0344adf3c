#pragma once

#include <QAbstractNativeEventFilter>
#include <QObject>
#include <QPoint>
#include <QRegion>

class QWidget;
typedef struct _XDisplay Display;

// A window on an X server without a compositing manager, shaped to its visible pixels so that its
// transparent parts do not show black. The server hands a shaped window only the presses inside
// its shape, whatever its input shape says, so the rest of its rectangle would pass presses to
// the window or desktop below. An input-only window covering the rectangle, kept right beneath
// it, catches those presses (and the drag that follows) and hands them to the window as if they
// had landed on it. Owned by the window it shapes.
class X11WindowShape final : public QObject, public QAbstractNativeEventFilter {
    Q_OBJECT

public:
    // `display` is Qt's own connection, whose events this sees before Qt does.
    X11WindowShape(Display* display, QWidget* window);
    ~X11WindowShape() override;

    // Shapes the native window to `visible`, in window coordinates, as soon as there is one.
    void setVisiblePixels(const QRegion& visible);

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void applyShape();
    void scheduleFollow();
    // Puts the catcher under the window's current native window, at its place and size, mapped
    // while the window is.
    void follow();
    void drainRootChanges();
    unsigned long frameOf(unsigned long window) const;

    Display* display_;
    // A connection of its own that hears of every change in the root's stacking: asked for on
    // Qt's connection, those events (and window managers' requests sent to the root) would reach
    // Qt, which acts on some of them.
    Display* watch_;
    QWidget* window_;
    QRegion visible_;
    unsigned long root_;
    unsigned long catcher_;
    // The native window and its top-left corner on the root window, as last followed.
    unsigned long target_ = 0;
    QPoint targetOrigin_;
    // The root's child that holds the native window: its frame, or the window itself.
    unsigned long frame_ = 0;
    bool followPending_ = false;
};

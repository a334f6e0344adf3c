#pragma once

#include "Pet.h"

#include <QPointF>
#include <QSize>
#include <QWidget>
#include <memory>
#include <optional>

class AvatarView;
class Platform;
class Scheduler;
class SheetLoader;
class SpriteSheet;

// The borderless, transparent window the pet lives in. Its size follows the persisted scale
// ("petScale"); it floats above other windows while always-on-top is enabled.
class AvatarWindow : public QWidget {
    Q_OBJECT

public:
    static constexpr double minScale = 0.5;
    static constexpr double maxScale = 2.0;

    // The pet's timers run on `scheduler`; both must outlive the window.
    AvatarWindow(Platform& platform, Scheduler& scheduler);

    AvatarView* avatarView() const { return view_; }
    double scale() const { return scale_; }
    bool isAlwaysOnTop() const { return alwaysOnTop_; }
    // Re-applies the stacking without moving the window; does not persist.
    void setAlwaysOnTop(bool onTop);

    // Loads the pet's sprite sheet off the GUI thread; the pet on screen keeps animating until the
    // new one is ready, and the placeholder shows when it cannot be loaded.
    void loadPet(const Pet& pet);
    // Shows the last recap again for 30 s while the pet is idle.
    void replayRecap();
    // Resizes to `scale` (clamped, persisted) around an anchor whose position within the window
    // is `anchorRel` (0..1 from the left and top edges); no anchor: the window's centre. The
    // window is kept inside its screen's available area.
    void applyScale(double scale, std::optional<QPointF> anchor, const QPointF& anchorRel);
    // Back to where a new window starts: 40 points in from the right and bottom edges of the
    // primary screen's available area. The size stays.
    void moveHome();
    // Moves the window, keeping enough of it on some screen to grab it again.
    void moveWithinScreens(const QPointF& origin);

    static QSize sizeForScale(double scale);
    // "petScale" as stored: absent, 0 or not a number read as 1.0; clamped to 0.5–2.0.
    static double storedScale();

protected:
    bool event(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void applyWindowFlags();
    void reshape();
    void showSheet(const std::shared_ptr<SpriteSheet>& sheet);

    Platform& platform_;
    AvatarView* view_;
    SheetLoader* sheets_;
    double scale_;
    bool alwaysOnTop_;
    bool shaped_;
};

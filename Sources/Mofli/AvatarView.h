#pragma once

#include "AvatarEngine.h"
#include "HatchState.h"
#include "SpriteSheet.h"
#include "TerminalOrigin.h"

#include <QHash>
#include <QList>
#include <QPointF>
#include <QRect>
#include <QRectF>
#include <QRegion>
#include <QSizeF>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>

class Scheduler;

// The pet window's content: draws the current frame of the engine's animation, the speech bubble
// and the resize handle, and turns mouse gestures into window moves, walks, scaling and jumps.
class AvatarView : public QWidget {
    Q_OBJECT

public:
    static constexpr int handleSize = 18;
    // At scale 1 the view is one sheet frame with the bubble band above it.
    static constexpr int bubbleBand = 56;
    static constexpr int baseWidth = SpriteSheet::frameWidth;
    static constexpr int baseHeight = SpriteSheet::frameHeight + bubbleBand;

    // Without a scheduler the view runs on real Qt timers.
    explicit AvatarView(Scheduler* scheduler = nullptr, QWidget* parent = nullptr);
    ~AvatarView() override;

    AvatarEngine& engine() { return *engine_; }
    const AvatarEngine& engine() const { return *engine_; }

    void apply(const QString& stateString, const std::optional<QString>& message,
               const std::optional<QString>& label, const std::optional<QString>& recap,
               bool isThinking, const std::optional<TerminalOrigin>& origin);
    void playJump();
    void playWave();

    // A loaded sheet: the current animation restarts at its first frame with it.
    void setSheet(std::shared_ptr<SpriteSheet> sheet);
    void unloadPet();
    const std::shared_ptr<SpriteSheet>& sheet() const { return sheet_; }

    // Geometry in view coordinates.
    QRectF frameRect() const;
    // Where a frame is drawn in a view of `viewSize` on a screen with `devicePixelRatio`.
    // `artPixelSize` is the sheet's SpriteSheet::artPixelSize().
    static QRectF frameRectFor(const QSizeF& viewSize, double devicePixelRatio,
                               int artPixelSize = 1);
    QRect bubbleRect() const; // empty while the bubble is hidden
    QRect handleRect() const;
    bool isHandleVisible() const { return handleVisible_; }
    // Everything the view paints right now, for windows that must be shaped to it.
    QRegion paintedRegion() const;

    // Right click, with the pointer's global position.
    std::function<void(const QPoint& globalPos)> onRequestContextMenu;
    // A click on the bubble with a known origin; true when the terminal came forward. Without a
    // handler (or on false) the pet jumps instead.
    std::function<bool(const TerminalOrigin&)> onActivateTerminal;
    // What paintedRegion() returns has changed.
    std::function<void()> onPaintedRegionChanged;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    enum class Gesture { none, move, resize };

    struct BubbleLine {
        QString text;
        bool isLabel = false;
    };
    struct BubbleLayout {
        QRect box;
        QList<BubbleLine> lines;
    };

    // What was last drawn, to repaint only the parts that changed.
    struct Shown {
        bool hasSheet = false;
        HatchState state;
        int frameIndex = 0;
        AvatarEngine::Bubble bubble;
    };

    void engineChanged();
    void paintedRegionChanged();
    void relayoutBubble();
    QRegion frameRegion() const;
    QRect placeholderRect() const;
    bool bubbleHit(const QPointF& pos) const;
    void updateCursor(const QPointF& pos);
    void setHandleVisible(bool visible);
    void paintBubble(QPainter& painter) const;
    void paintHandle(QPainter& painter) const;

    std::unique_ptr<Scheduler> ownScheduler_;
    std::unique_ptr<AvatarEngine> engine_;
    std::shared_ptr<SpriteSheet> sheet_;
    Shown shown_;
    BubbleLayout bubbleLayout_;
    bool handleVisible_ = false;

    Gesture gesture_ = Gesture::none;
    QPointF dragStartMouse_;
    QPointF dragStartOrigin_;
    double lastDragX_ = 0;
    double resizeStartScale_ = 1.0;
    QPointF resizeAnchor_;
    double resizeStartDist_ = 1.0;
    bool didDragMove_ = false;

    // Shapes of frames as drawn, keyed by state, index and drawn size; dropped with the sheet.
    mutable QHash<QString, QRegion> frameRegionCache_;
};

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
#include <QStaticText>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>

class ResizeHandle;

// The pet window's content: draws the current frame of the engine's animation, the speech bubble
// and the resize handle, and turns mouse gestures into walks and jumps and into requests to move
// or scale its window, which the window carries out.
class AvatarView : public QWidget {
    Q_OBJECT

public:
    static constexpr int handleSize = 18;
    // At scale 1 the view is one sheet frame with the bubble band above it.
    static constexpr int bubbleBand = 56;
    static constexpr int baseWidth = SpriteSheet::frameWidth;
    static constexpr int baseHeight = SpriteSheet::frameHeight + bubbleBand;

    explicit AvatarView(std::unique_ptr<AvatarEngine> engine, QWidget* parent = nullptr);
    ~AvatarView() override;

    AvatarEngine& engine() { return *engine_; }
    const AvatarEngine& engine() const { return *engine_; }

    void apply(const QString& stateString, const std::optional<QString>& message,
               const std::optional<QString>& label, const std::optional<QString>& recap,
               bool isThinking, const std::optional<TerminalOrigin>& origin);
    void playJump();
    void playWave();
    // How many Claude Code sessions run; from two on their number shows beside the pet.
    void setSessionCount(int count);
    int sessionCount() const { return sessionCount_; }

    // A loaded sheet: the current animation restarts at its first frame with it.
    void setSheet(std::shared_ptr<SpriteSheet> sheet);
    void unloadPet();
    const std::shared_ptr<SpriteSheet>& sheet() const { return sheet_; }
    // The window's scale, from which a resize gesture starts.
    void setScale(double scale) { scale_ = scale; }
    // Whether a click on the bubble can bring the terminal of `origin` forward; the pointer turns
    // into a hand over the bubble only then, and otherwise a click there makes the pet jump.
    // Without a check every known origin qualifies.
    void setTerminalActivationCheck(std::function<bool(const TerminalOrigin&)> canActivate) {
        canActivateTerminal_ = std::move(canActivate);
    }

    // Geometry in view coordinates.
    QRectF frameRect() const;
    // Where a frame is drawn in a view of `viewSize` on a screen with `devicePixelRatio`.
    // `artPixelSize` is the sheet's SpriteSheet::artPixelSize().
    static QRectF frameRectFor(const QSizeF& viewSize, double devicePixelRatio,
                               int artPixelSize = 1);
    QRect bubbleRect() const; // empty while the bubble is hidden
    QRect handleRect() const;
    QRect sessionCountRect() const; // empty while the count is hidden
    bool isHandleVisible() const { return handleVisible_; }
    // Everything the view paints right now, for windows that must be shaped to it.
    QRegion paintedRegion() const;

signals:
    // The pet is dragged: its window's top-left corner should go to `origin` (global position).
    void moveRequested(const QPointF& origin);
    // The handle is dragged: the window should take `scale` around `anchor` (global position),
    // whose place in the window is `anchorRel` (0..1 from the left and top edges).
    void scaleRequested(double scale, const QPointF& anchor, const QPointF& anchorRel);
    // Right click, with the pointer's global position.
    void contextMenuRequested(const QPoint& globalPos);
    // A click on the bubble of a state with a known terminal. Without a receiver the pet jumps; a
    // receiver that cannot bring the terminal forward calls playJump() itself.
    void terminalActivationRequested(const TerminalOrigin& origin);
    // What paintedRegion() returns has changed.
    void paintedRegionChanged();

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
        // Shaped once per change of the bubble, not again on every frame the pet repaints.
        QStaticText shaped;
        QPointF topLeft;
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
    void relayoutBubble();
    QRegion frameRegion() const;
    QRect placeholderRect() const;
    bool bubbleHit(const QPointF& pos) const;
    void updateCursor(const QPointF& pos);
    void setHandleVisible(bool visible);
    void endGesture();
    void paintBubble(QPainter& painter) const;
    // The window's title and accessible name say what the bubble says.
    void updateTitle();

    std::unique_ptr<AvatarEngine> engine_;
    std::shared_ptr<SpriteSheet> sheet_;
    Shown shown_;
    BubbleLayout bubbleLayout_;
    ResizeHandle* handle_;
    bool handleVisible_ = false;
    double scale_ = 1.0;
    int sessionCount_ = 0;

    Gesture gesture_ = Gesture::none;
    QPointF dragStartMouse_;
    QPointF dragStartOrigin_;
    double lastDragX_ = 0;
    double resizeStartScale_ = 1.0;
    QPointF resizeAnchor_;
    double resizeStartDist_ = 1.0;
    bool didDragMove_ = false;
    std::function<bool(const TerminalOrigin&)> canActivateTerminal_;

    // Shapes of frames as drawn, keyed by state, index and drawn size; dropped with the sheet.
    mutable QHash<QString, QRegion> frameRegionCache_;
};

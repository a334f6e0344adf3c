#include "AvatarView.h"

#include "PetTexts.h"
#include "ResizeHandle.h"
#include "SessionCountBadge.h"

#include <QBitmap>
#include <QEnterEvent>
#include <QFontMetricsF>
#include <QMetaMethod>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QTextLayout>
#include <algorithm>
#include <cmath>

namespace {

constexpr int bubbleTop = 4;
constexpr int bubbleSideMargin = 4;
constexpr int bubbleMaxWidth = 260;
constexpr int bubbleMinHeight = 32;
constexpr int textMaxWidth = 244;
constexpr int paddingX = 8;
constexpr int paddingY = 6;
constexpr int bubbleMaxLines = 3;
constexpr double bubbleRadius = 10.0;
constexpr int handleMargin = 3;
constexpr int handleGrab = 8;
constexpr double clickSlop = 3.0;

const QString placeholderText = QStringLiteral("🐾\n(no pet)");

QFont labelFont() {
    QFont font;
    font.setPixelSize(9);
    font.setWeight(QFont::DemiBold);
    return font;
}

QFont messageFont() {
    QFont font;
    font.setPixelSize(11);
    font.setWeight(QFont::Medium);
    return font;
}

QFont placeholderFont() {
    QFont font;
    font.setPixelSize(14);
    return font;
}

const QColor bubbleFill(28, 28, 30, 219);
const QColor bubbleBorder(255, 255, 255, 46);
const QColor messageColor(242, 242, 247);
const QColor labelColor(235, 235, 245, 160);
const QColor placeholderColor(142, 142, 147);

struct WrappedLine {
    QString text;
    int start = 0;
    double width = 0;
};

QList<WrappedLine> wrap(const QString& text, const QFont& font, double width) {
    QTextLayout layout(text, font);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    QList<WrappedLine> lines;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        lines.append({text.mid(line.textStart(), line.textLength()).trimmed(), line.textStart(),
                      line.naturalTextWidth()});
    }
    layout.endLayout();
    return lines;
}

QPainterPath roundedBox(const QRectF& rect) {
    QPainterPath path;
    path.addRoundedRect(rect, bubbleRadius, bubbleRadius);
    return path;
}

} // namespace

AvatarView::AvatarView(std::unique_ptr<AvatarEngine> engine, QWidget* parent)
    : QWidget(parent), engine_(std::move(engine)), handle_(new ResizeHandle(this)) {
    engine_->onChanged = [this] {
        engineChanged();
    };
    setAttribute(Qt::WA_TranslucentBackground);
    setMouseTracking(true);
    handle_->hide();
    updateTitle();
}

AvatarView::~AvatarView() {
    // Timers still pending in the engine must not call back into a half-destroyed view.
    engine_->onChanged = nullptr;
}

void AvatarView::apply(const QString& stateString, const std::optional<QString>& message,
                       const std::optional<QString>& label, const std::optional<QString>& recap,
                       bool isThinking, const std::optional<TerminalOrigin>& origin) {
    engine_->apply(stateString, message, label, recap, isThinking, origin);
}

void AvatarView::playJump() {
    engine_->playJump();
}

void AvatarView::playWave() {
    engine_->playWave();
}

void AvatarView::setSessionCount(int count) {
    if (count == sessionCount_) {
        return;
    }
    const QRect before = sessionCountRect();
    sessionCount_ = count;
    update(before.united(sessionCountRect()));
    emit paintedRegionChanged();
}

void AvatarView::setSheet(std::shared_ptr<SpriteSheet> sheet) {
    sheet_ = std::move(sheet);
    frameRegionCache_.clear();
    engine_->sheetLoaded();
    update();
    emit paintedRegionChanged();
}

void AvatarView::unloadPet() {
    sheet_.reset();
    frameRegionCache_.clear();
    engine_->unloadPet();
    update();
    emit paintedRegionChanged();
}

void AvatarView::engineChanged() {
    Shown now{sheet_ && engine_->hasSheet(), engine_->currentState(), engine_->currentFrameIndex(),
              engine_->bubble()};
    bool shapeChanged = false;
    if (now.hasSheet != shown_.hasSheet) {
        update();
        shapeChanged = true;
    } else if (now.hasSheet && (now.state != shown_.state || now.frameIndex != shown_.frameIndex)) {
        update(frameRect().toAlignedRect());
        shapeChanged = true;
    }
    if (!(now.bubble == shown_.bubble)) {
        const QRect before = bubbleLayout_.box;
        shown_.bubble = now.bubble;
        relayoutBubble();
        update(before.united(bubbleLayout_.box));
        updateTitle();
        shapeChanged = true;
    }
    shown_ = now;
    if (shapeChanged) {
        emit paintedRegionChanged();
    }
}

void AvatarView::relayoutBubble() {
    bubbleLayout_ = {};
    const AvatarEngine::Bubble& bubble = shown_.bubble;
    if (!bubble.visible || bubble.text.isEmpty()) {
        return;
    }
    const int maxBox = std::min(bubbleMaxWidth, width() - 2 * bubbleSideMargin);
    const double maxText = std::max(1, std::min(textMaxWidth, maxBox - 2 * paddingX));

    struct Paragraph {
        QString text;
        bool isLabel;
    };
    QList<Paragraph> paragraphs;
    if (bubble.label && !bubble.label->isEmpty()) {
        paragraphs.append({*bubble.label, true});
    }
    paragraphs.append({bubble.text, false});

    double textWidth = 0;
    double textHeight = 0;
    for (const Paragraph& paragraph : paragraphs) {
        const QFont font = paragraph.isLabel ? labelFont() : messageFont();
        const QFontMetricsF metrics(font);
        const QList<WrappedLine> lines = wrap(paragraph.text, font, maxText);
        for (qsizetype i = 0; i < lines.size(); ++i) {
            if (bubbleLayout_.lines.size() == bubbleMaxLines) {
                break;
            }
            QString text = lines[i].text;
            double lineWidth = lines[i].width;
            const bool lastRoom = bubbleLayout_.lines.size() == bubbleMaxLines - 1;
            if (lastRoom && i + 1 < lines.size()) {
                text =
                    metrics.elidedText(paragraph.text.mid(lines[i].start), Qt::ElideRight, maxText);
                lineWidth = metrics.horizontalAdvance(text);
            }
            BubbleLine line;
            line.text = text;
            line.isLabel = paragraph.isLabel;
            bubbleLayout_.lines.append(line);
            textWidth = std::max(textWidth, std::min(lineWidth, maxText));
            textHeight += metrics.height();
        }
    }
    const int boxWidth = std::min(maxBox, int(std::ceil(textWidth)) + 2 * paddingX);
    const int boxHeight = std::max(bubbleMinHeight, int(std::ceil(textHeight)) + 2 * paddingY);
    const QRect box((width() - boxWidth) / 2, bubbleTop, boxWidth, boxHeight);
    bubbleLayout_.box = box;
    double y = box.top() + (box.height() - textHeight) / 2;
    for (BubbleLine& line : bubbleLayout_.lines) {
        const QFont font = line.isLabel ? labelFont() : messageFont();
        line.shaped.setText(line.text);
        line.shaped.setTextFormat(Qt::PlainText);
        line.shaped.prepare(QTransform(), font);
        line.topLeft = QPointF(box.left() + paddingX, y);
        y += QFontMetricsF(font).height();
    }
}

QRectF AvatarView::frameRect() const {
    return frameRectFor(size(), devicePixelRatioF(), sheet_ ? sheet_->artPixelSize() : 1);
}

QRectF AvatarView::frameRectFor(const QSizeF& viewSize, double dpr, int artPixelSize) {
    const double s = std::max(viewSize.height() / double(baseHeight), 0.01);
    const QRectF area(0, bubbleBand * s, viewSize.width(),
                      std::max(0.0, viewSize.height() - bubbleBand * s));
    const double fit =
        std::min(area.width() / SpriteSheet::frameWidth, area.height() / SpriteSheet::frameHeight);
    // Whole device pixels per art pixel keep every pixel of the art square and equal-sized, and
    // art drawn in blocks of sheet pixels still grows in fine steps; below one device pixel per
    // art pixel that is impossible and the frame just fits.
    const double devicePerArt = fit * dpr * artPixelSize;
    const double snapped = devicePerArt >= 1.0 ? std::floor(devicePerArt + 1e-6) : devicePerArt;
    const double w = SpriteSheet::frameWidth * snapped / (artPixelSize * dpr);
    const double h = SpriteSheet::frameHeight * snapped / (artPixelSize * dpr);
    const double x = std::round((area.width() - w) / 2 * dpr) / dpr;
    const double y = area.top() + std::round((area.height() - h) / 2 * dpr) / dpr;
    return QRectF(x, y, w, h);
}

QRect AvatarView::bubbleRect() const {
    return bubbleLayout_.box;
}

QRect AvatarView::handleRect() const {
    return QRect(width() - handleSize - handleMargin, height() - handleSize - handleMargin,
                 handleSize, handleSize);
}

QRect AvatarView::sessionCountRect() const {
    return SessionCountBadge::rect(size(), sessionCount_);
}

void AvatarView::updateTitle() {
    const AvatarEngine::Bubble& bubble = shown_.bubble;
    const QString title = PetTexts::windowTitle(bubble.visible, bubble.text, bubble.label);
    window()->setWindowTitle(title);
    window()->setAccessibleName(title);
}

QRect AvatarView::placeholderRect() const {
    const QRect text =
        QFontMetrics(placeholderFont()).boundingRect(rect(), Qt::AlignCenter, placeholderText);
    return text.adjusted(-2, -2, 2, 2);
}

QRegion AvatarView::frameRegion() const {
    if (!sheet_) {
        return {};
    }
    const QRect target = frameRect().toAlignedRect();
    if (target.isEmpty()) {
        return {};
    }
    const HatchState state = engine_->currentState();
    const int index = engine_->currentFrameIndex();
    const QString key = QStringLiteral("%1:%2:%3x%4")
                            .arg(state.rawValue())
                            .arg(index)
                            .arg(target.width())
                            .arg(target.height());
    auto found = frameRegionCache_.constFind(key);
    if (found == frameRegionCache_.constEnd()) {
        // Scaled first: a sheet of three pixels per unit drawn at scale 1 has nine times the
        // pixels of the shape, and picking pixels commutes with telling opaque from clear.
        const QImage mask =
            sheet_->frame(state, index)
                .scaled(target.size(), Qt::IgnoreAspectRatio, Qt::FastTransformation)
                .createAlphaMask();
        found = frameRegionCache_.insert(key, QRegion(QBitmap::fromImage(mask)));
    }
    return found->translated(target.topLeft());
}

QRegion AvatarView::paintedRegion() const {
    QRegion region = sheet_ ? frameRegion() : QRegion(placeholderRect());
    if (!bubbleLayout_.box.isEmpty()) {
        region += QRegion(roundedBox(bubbleLayout_.box).toFillPolygon().toPolygon());
    }
    if (handleVisible_) {
        region += handleRect();
    }
    region += sessionCountRect();
    return region;
}

void AvatarView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (sheet_) {
        // No smoothing: pixel art is only ever enlarged by repeating pixels.
        painter.drawImage(frameRect(),
                          sheet_->frame(engine_->currentState(), engine_->currentFrameIndex()));
    } else {
        painter.setFont(placeholderFont());
        painter.setPen(placeholderColor);
        painter.drawText(rect(), Qt::AlignCenter, placeholderText);
    }
    SessionCountBadge::paint(painter, sessionCountRect(), sessionCount_);
    painter.setRenderHint(QPainter::Antialiasing);
    paintBubble(painter);
}

void AvatarView::paintBubble(QPainter& painter) const {
    const QRect box = bubbleLayout_.box;
    if (box.isEmpty()) {
        return;
    }
    painter.setPen(QPen(bubbleBorder, 1));
    painter.setBrush(bubbleFill);
    painter.drawPath(roundedBox(QRectF(box).adjusted(0.5, 0.5, -0.5, -0.5)));

    for (const BubbleLine& line : bubbleLayout_.lines) {
        painter.setFont(line.isLabel ? labelFont() : messageFont());
        painter.setPen(line.isLabel ? labelColor : messageColor);
        painter.drawStaticText(line.topLeft, line.shaped);
    }
}

void AvatarView::resizeEvent(QResizeEvent*) {
    frameRegionCache_.clear();
    relayoutBubble();
    handle_->setGeometry(handleRect());
    emit paintedRegionChanged();
}

bool AvatarView::bubbleHit(const QPointF& pos) const {
    const auto& origin = engine_->sourceOrigin();
    return !bubbleLayout_.box.isEmpty() && origin &&
           QRectF(bubbleLayout_.box).adjusted(-2, -2, 2, 2).contains(pos) &&
           (!canActivateTerminal_ || canActivateTerminal_(*origin));
}

void AvatarView::updateCursor(const QPointF& pos) {
    setCursor(bubbleHit(pos) ? Qt::PointingHandCursor : Qt::ArrowCursor);
}

void AvatarView::setHandleVisible(bool visible) {
    if (visible == handleVisible_) {
        return;
    }
    handleVisible_ = visible;
    // A hidden window gets no resize events, so the place is set here too.
    handle_->setGeometry(handleRect());
    handle_->setVisible(visible);
    emit paintedRegionChanged();
}

void AvatarView::enterEvent(QEnterEvent* event) {
    setHandleVisible(true);
    updateCursor(event->position());
}

void AvatarView::leaveEvent(QEvent*) {
    if (gesture_ == Gesture::none) {
        setHandleVisible(false);
    }
    setCursor(Qt::ArrowCursor);
}

void AvatarView::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::RightButton) {
        emit contextMenuRequested(event->globalPosition().toPoint());
        return;
    }
    if (event->button() != Qt::LeftButton) {
        return;
    }
    didDragMove_ = false;
    const QPointF pointer = event->globalPosition();
    // Where the press says the window is: Qt's own idea can be out of date on X11, where it asks
    // for the position when the window manager reparents the window, and openbox then moves the
    // frame to the asked-for place without telling the client.
    const QPointF windowOrigin = pointer - mapTo(window(), event->position());
    const QRect grab = handleRect().adjusted(-handleGrab, -handleGrab, handleGrab, handleGrab);
    if (handleVisible_ && grab.contains(event->position().toPoint())) {
        gesture_ = Gesture::resize;
        resizeStartScale_ = scale_;
        resizeAnchor_ = windowOrigin;
        const QPointF d = pointer - resizeAnchor_;
        resizeStartDist_ = std::max(1.0, std::hypot(d.x(), d.y()));
        return;
    }
    gesture_ = Gesture::move;
    dragStartMouse_ = pointer;
    dragStartOrigin_ = windowOrigin;
    lastDragX_ = pointer.x();
}

void AvatarView::mouseMoveEvent(QMouseEvent* event) {
    // The release can be lost (a context menu opened during the press takes it), and with mouse
    // tracking on the pet would then follow the bare pointer.
    if (gesture_ != Gesture::none && !event->buttons().testFlag(Qt::LeftButton)) {
        endGesture();
    }
    const QPointF p = event->globalPosition();
    switch (gesture_) {
    case Gesture::none:
        updateCursor(event->position());
        break;
    case Gesture::resize: {
        const QPointF d = p - resizeAnchor_;
        emit scaleRequested(resizeStartScale_ * std::hypot(d.x(), d.y()) / resizeStartDist_,
                            resizeAnchor_, QPointF(0, 0));
        break;
    }
    case Gesture::move: {
        const QPointF d = p - dragStartMouse_;
        if (std::hypot(d.x(), d.y()) > clickSlop) {
            didDragMove_ = true;
        }
        emit moveRequested(dragStartOrigin_ + d);
        engine_->walkStep(p.x() - lastDragX_);
        lastDragX_ = p.x();
        break;
    }
    }
}

void AvatarView::endGesture() {
    gesture_ = Gesture::none;
    engine_->endWalk();
}

void AvatarView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        return;
    }
    const Gesture ended = gesture_;
    gesture_ = Gesture::none;
    const QPointF pos = event->position();
    if (!engine_->endWalk() && ended == Gesture::move && !didDragMove_) {
        const auto& origin = engine_->sourceOrigin();
        if (bubbleHit(pos) && origin &&
            isSignalConnected(QMetaMethod::fromSignal(&AvatarView::terminalActivationRequested))) {
            emit terminalActivationRequested(*origin);
        } else {
            engine_->playJump();
        }
    }
    if (!rect().contains(pos.toPoint())) {
        setHandleVisible(false);
    }
}

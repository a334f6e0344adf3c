#include "WindowPlacement.h"

#include <algorithm>

namespace WindowPlacement {

namespace {

constexpr double homeMargin = 40;
constexpr double grabSize = 48;
constexpr double alertGap = 12;

double areaOf(const QRectF& rect) {
    return rect.isEmpty() ? 0 : rect.width() * rect.height();
}

// Half-open, so a centre on the seam of two adjacent screens belongs to one of them only.
bool containsPoint(const QRectF& rect, const QPointF& point) {
    return point.x() >= rect.left() && point.x() < rect.right() && point.y() >= rect.top() &&
           point.y() < rect.bottom();
}

double squaredDistance(const QRectF& rect, const QPointF& point) {
    const double dx = point.x() - std::clamp(point.x(), rect.left(), rect.right());
    const double dy = point.y() - std::clamp(point.y(), rect.top(), rect.bottom());
    return dx * dx + dy * dy;
}

} // namespace

QPointF homeOrigin(const QRectF& available, const QSizeF& size) {
    return {available.right() - size.width() - homeMargin,
            available.bottom() - size.height() - homeMargin};
}

QPointF clampOrigin(const QPointF& origin, const QSizeF& size,
                    const std::optional<QRectF>& available) {
    if (!available) {
        return origin;
    }
    const QRectF& area = *available;
    const double x = std::min(std::max(origin.x(), area.left()),
                              std::max(area.left(), area.right() - size.width()));
    // A window taller than the area keeps its bottom edge on the area's bottom edge.
    const double lowestTop = area.bottom() - size.height();
    const double y = std::max(std::min(origin.y(), lowestTop), std::min(area.top(), lowestTop));
    return {x, y};
}

std::optional<qsizetype> bestScreen(const QRectF& rect, const QList<QRectF>& screens) {
    if (screens.isEmpty()) {
        return std::nullopt;
    }
    const QPointF centre = rect.center();
    for (qsizetype i = 0; i < screens.size(); ++i) {
        if (containsPoint(screens[i], centre)) {
            return i;
        }
    }
    std::optional<qsizetype> best;
    double bestArea = 0;
    for (qsizetype i = 0; i < screens.size(); ++i) {
        const double overlap = areaOf(screens[i].intersected(rect));
        if (overlap > bestArea) {
            best = i;
            bestArea = overlap;
        }
    }
    if (best) {
        return best;
    }
    qsizetype nearest = 0;
    double nearestDistance = squaredDistance(screens[0], centre);
    for (qsizetype i = 1; i < screens.size(); ++i) {
        const double distance = squaredDistance(screens[i], centre);
        if (distance < nearestDistance) {
            nearest = i;
            nearestDistance = distance;
        }
    }
    return nearest;
}

QPointF clampOriginAcrossScreens(const QPointF& origin, const QSizeF& size,
                                 const QList<QRectF>& screens) {
    if (screens.isEmpty()) {
        return origin;
    }
    const double mw = std::min(size.width(), grabSize);
    const double mh = std::min(size.height(), grabSize);
    const QRectF window(origin, size);
    for (const QRectF& screen : screens) {
        const QRectF visible = screen.intersected(window);
        if (!visible.isEmpty() && visible.width() >= mw && visible.height() >= mh) {
            return origin;
        }
    }
    const QRectF& area = screens[bestScreen(window, screens).value_or(0)];
    const double x =
        std::min(std::max(origin.x(), area.left() - (size.width() - mw)), area.right() - mw);
    // Mirrors the horizontal rule; on an area lower than the grab size the top edge wins.
    const double y =
        std::max(std::min(origin.y(), area.bottom() - mh), area.top() - (size.height() - mh));
    return {x, y};
}

QPointF scaledOrigin(const QPointF& anchor, const QPointF& anchorRel, const QSizeF& newSize) {
    return {anchor.x() - anchorRel.x() * newSize.width(),
            anchor.y() - anchorRel.y() * newSize.height()};
}

QPointF alertOrigin(const QRectF& petFrame, const QSizeF& alertSize,
                    const std::optional<QRectF>& visible) {
    double x = petFrame.center().x() - alertSize.width() / 2;
    double y = petFrame.top() - alertGap - alertSize.height();
    if (visible) {
        // Lower bound first, then the upper one, so that the right and top edges win.
        x = std::min(std::max(x, visible->left()), visible->right() - alertSize.width());
        y = std::max(std::min(y, visible->bottom() - alertSize.height()), visible->top());
    }
    return {x, y};
}

} // namespace WindowPlacement

#pragma once

#include <QList>
#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <optional>

// Placement arithmetic of the pet window over plain rectangles (Qt coordinates: y points down,
// a window's position is its top-left corner). Screens are given by their available areas.
namespace WindowPlacement {

// 40 points in from the right and bottom edges of the available area.
QPointF homeOrigin(const QRectF& available, const QSizeF& size);
// Keeps the whole window inside `available`; a window larger than the area is aligned with its
// left and bottom edges. No area: the origin is returned unchanged.
QPointF clampOrigin(const QPointF& origin, const QSizeF& size,
                    const std::optional<QRectF>& available);
// Index of the screen that contains the rectangle's centre, else the one with the largest
// overlap, else the nearest; nothing for an empty list.
std::optional<qsizetype> bestScreen(const QRectF& rect, const QList<QRectF>& screens);
// Leaves the origin alone while a 48 × 48 part (or the whole window, if smaller) is visible on
// some screen; otherwise pulls it back onto the best screen until that much is visible.
QPointF clampOriginAcrossScreens(const QPointF& origin, const QSizeF& size,
                                 const QList<QRectF>& screens);
// New top-left corner when the window is resized to `newSize` around an anchor point whose
// position in the window is `anchorRel` (0..1 from the left and top edges).
QPointF scaledOrigin(const QPointF& anchor, const QPointF& anchorRel, const QSizeF& newSize);

// Top-left corner of an alert of `alertSize` standing 12 points above the pet window's top edge,
// centred on it, and kept inside the visible area of the pet's screen. Where the alert does not
// fit, its top and right edges follow the area's. No area: the position as computed.
QPointF alertOrigin(const QRectF& petFrame, const QSizeF& alertSize,
                    const std::optional<QRectF>& visible);

} // namespace WindowPlacement

#pragma once

#include <QRect>
#include <QSizeF>

class QPainter;

// The number of live Claude Code sessions, drawn beside the pet in its own style: square pixels
// of a three-by-five digit font on a dark plate with cut corners, every pixel a whole number of
// device pixels that grows with the pet's scale, so it stays crisp and readable down to scale 1.
namespace SessionCountBadge {

// Shown from this many sessions on.
inline constexpr int shownFrom = 2;

// Where the badge of `count` sits in a pet view of `viewSize`; empty when it is not shown.
QRect rect(const QSizeF& viewSize, int count);
// Draws it into that rectangle.
void paint(QPainter& painter, const QRect& rect, int count);

} // namespace SessionCountBadge

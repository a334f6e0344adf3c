#include "SessionCountBadge.h"

#include "AvatarView.h"

#include <QColor>
#include <QPainter>
#include <QString>
#include <algorithm>
#include <array>
#include <cmath>

namespace {

constexpr int glyphWidth = 3;
constexpr int glyphHeight = 5;
constexpr int padding = 2;
// Past this the count says "many" rather than growing wider than the pet's flank.
constexpr int largestShown = 99;

// Rows of three bits, the leftmost pixel the highest bit.
constexpr std::array<std::array<int, glyphHeight>, 10> digits{{
    {7, 5, 5, 5, 7}, // 0
    {2, 6, 2, 2, 7}, // 1
    {7, 1, 7, 4, 7}, // 2
    {7, 1, 7, 1, 7}, // 3
    {5, 5, 7, 1, 1}, // 4
    {7, 4, 7, 1, 7}, // 5
    {7, 4, 7, 5, 7}, // 6
    {7, 1, 1, 2, 2}, // 7
    {7, 5, 7, 5, 7}, // 8
    {7, 5, 7, 1, 7}, // 9
}};

const QColor plate(28, 28, 30);
const QColor ink(242, 242, 247);

QString shownText(int count) {
    return QString::number(std::min(count, largestShown));
}

// Screen pixels per pixel of the badge: two at scale 1, as the pet's art pixels are drawn.
int unitFor(const QSizeF& viewSize) {
    const double scale = viewSize.height() / AvatarView::baseHeight;
    return std::max(1, int(std::lround(2 * scale)));
}

} // namespace

namespace SessionCountBadge {

QRect rect(const QSizeF& viewSize, int count) {
    if (count < shownFrom) {
        return {};
    }
    const int unit = unitFor(viewSize);
    const int glyphs = int(shownText(count).size());
    const int width = glyphs * glyphWidth + (glyphs - 1) + 2 * padding;
    const int height = glyphHeight + 2 * padding;
    // On the pet's left flank, well below a bubble of three lines.
    const double scale = viewSize.height() / AvatarView::baseHeight;
    return QRect(int(std::lround(6 * scale)), int(std::lround(140 * scale)), width * unit,
                 height * unit);
}

void paint(QPainter& painter, const QRect& rect, int count) {
    if (rect.isEmpty()) {
        return;
    }
    const int unit = rect.height() / (glyphHeight + 2 * padding);
    painter.fillRect(rect.adjusted(unit, 0, -unit, 0), plate);
    painter.fillRect(rect.adjusted(0, unit, 0, -unit), plate);
    int left = rect.left() + padding * unit;
    const int top = rect.top() + padding * unit;
    for (const QChar digit : shownText(count)) {
        const auto& rows = digits[size_t(digit.digitValue())];
        for (int row = 0; row < glyphHeight; ++row) {
            for (int column = 0; column < glyphWidth; ++column) {
                if (rows[size_t(row)] & (1 << (glyphWidth - 1 - column))) {
                    painter.fillRect(left + column * unit, top + row * unit, unit, unit, ink);
                }
            }
        }
        left += (glyphWidth + 1) * unit;
    }
}

} // namespace SessionCountBadge

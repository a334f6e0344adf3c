#include "PickerStyle.h"

#include <QApplication>
#include <QFontDatabase>
#include <QPalette>

namespace PickerStyle {

namespace {

// The text colour faded towards the background: stays legible on light and dark themes alike,
// where fixed greys would vanish on one of them.
QColor fadedText(const QPalette& palette, double opacity) {
    QColor color = palette.color(QPalette::WindowText);
    color.setAlphaF(float(opacity));
    return color;
}

} // namespace

QColor accent(const QPalette& palette) {
    return palette.color(QPalette::Highlight);
}

QColor secondaryText(const QPalette& palette) {
    return fadedText(palette, 0.62);
}

QColor tertiaryText(const QPalette& palette) {
    return fadedText(palette, 0.45);
}

QColor separator(const QPalette& palette) {
    return fadedText(palette, 0.18);
}

QFont font(int pixelSize, bool semibold) {
    QFont result = QApplication::font();
    result.setPixelSize(pixelSize);
    if (semibold) {
        result.setWeight(QFont::DemiBold);
    }
    return result;
}

QFont monospaceFont(int pixelSize) {
    QFont result = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    result.setPixelSize(pixelSize);
    return result;
}

} // namespace PickerStyle

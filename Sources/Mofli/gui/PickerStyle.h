#pragma once

#include <QColor>
#include <QFont>

class QPalette;

// Colours and fonts of the pet picker, taken from the desktop's palette so that the window reads
// well in light and dark themes. Sizes are in device-independent pixels, as the window's are.
namespace PickerStyle {

// The desktop's accent colour: the selection highlight.
QColor accent(const QPalette& palette);
// Text that comments on other text (section titles, descriptions, links).
QColor secondaryText(const QPalette& palette);
// Text that is only there for reference (paths, hints).
QColor tertiaryText(const QPalette& palette);
// Thin lines between and around things.
QColor separator(const QPalette& palette);

QFont font(int pixelSize, bool semibold = false);
QFont monospaceFont(int pixelSize);

} // namespace PickerStyle

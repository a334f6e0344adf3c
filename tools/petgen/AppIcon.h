#pragma once

#include <QImage>
#include <QString>

// The application icon for menus and launchers: Mochi waiting on a rounded tile. Unlike the tray
// icon it is in colour and drawn on the same art grid as the pets.
namespace AppIcon {

// Side of the icon's art grid; the image is artSize × scale pixels square.
inline constexpr int artSize = 64;

QImage image(int scale);

} // namespace AppIcon

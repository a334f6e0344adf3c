#pragma once

#include <QImage>

// The tray icon: the mochi's face as a black silhouette on transparent, 36 × 36 pixels so that it
// stays sharp as an 18-point template image on a 2× screen.
namespace TrayIcon {

QImage image();

} // namespace TrayIcon

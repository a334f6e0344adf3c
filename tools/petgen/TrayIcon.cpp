#include "TrayIcon.h"

#include "Mask.h"
#include "PixelCanvas.h"

#include <cmath>

namespace {

constexpr QSize iconSize{36, 36};

// A leaf tilted by degrees around its centre.
Mask leaf(double cx, double cy, double degrees) {
    const double angle = degrees * 3.14159265358979 / 180.0;
    return Mask::where(iconSize, [=](double x, double y) {
        const double u = ((x - cx) * std::cos(angle) + (y - cy) * std::sin(angle)) / 4.2;
        const double v = (-(x - cx) * std::sin(angle) + (y - cy) * std::cos(angle)) / 2.0;
        return u * u + v * v <= 1.0;
    });
}

} // namespace

namespace TrayIcon {

QImage image() {
    const double cx = 18;
    const double cy = 25;
    const Mask dome = Mask::where(iconSize, [=](double x, double y) {
        const double u = std::abs(x - cx) / 16.0;
        const double v = y < cy ? (cy - y) / 14.0 : (y - cy) / 8.0;
        return y < cy ? u * u + v * v <= 1.0 : std::pow(u, 2.8) + std::pow(v, 2.8) <= 1.0;
    });
    const Mask sprout =
        Mask::line(iconSize, 18, 12, 18, 6.5, 2.0) | leaf(13.5, 5.5, 25) | leaf(22.5, 5.5, -25);
    const Mask face = Mask::roundedRect(iconSize, 9, 18, 12, 23, 1.4) |
                      Mask::roundedRect(iconSize, 24, 18, 27, 23, 1.4) |
                      Mask::pattern(iconSize, {"#....#", ".####."}, 15, 25);
    PixelCanvas canvas(iconSize);
    canvas.fill((dome | sprout) - face, qRgba(0, 0, 0, 0xff));
    return canvas.toImage(1);
}

} // namespace TrayIcon

#include "PixelCanvas.h"

PixelCanvas::PixelCanvas(QSize size)
    : size_(size), pixels_(size.width() * size.height(), qRgba(0, 0, 0, 0)) {
}

QRgb PixelCanvas::at(int x, int y) const {
    if (x < 0 || y < 0 || x >= size_.width() || y >= size_.height()) {
        return qRgba(0, 0, 0, 0);
    }
    return pixels_[y * size_.width() + x];
}

void PixelCanvas::set(int x, int y, QRgb colour) {
    if (x >= 0 && y >= 0 && x < size_.width() && y < size_.height()) {
        pixels_[y * size_.width() + x] = colour;
    }
}

void PixelCanvas::fill(const Mask& mask, QRgb colour) {
    for (int y = 0; y < size_.height(); ++y) {
        for (int x = 0; x < size_.width(); ++x) {
            if (mask.contains(x, y)) {
                set(x, y, colour);
            }
        }
    }
}

void PixelCanvas::drawPart(const Mask& mask, QRgb outline, const Material& material) {
    fill(mask.dilated(), outline);
    fill(mask, material.base);
    fill(mask - mask.shifted(-2, -3), material.shade);
    fill(mask - mask.shifted(-1, -1), material.deepShade);
}

void PixelCanvas::stamp(std::initializer_list<std::string_view> rows, int x, int y,
                        const Colours& colours) {
    int row = 0;
    for (std::string_view line : rows) {
        for (int column = 0; column < static_cast<int>(line.size()); ++column) {
            const auto colour = colours.find(line[column]);
            if (colour != colours.end()) {
                set(x + column, y + row, colour->second);
            }
        }
        ++row;
    }
}

void PixelCanvas::sprite(std::initializer_list<std::string_view> rows, int x, int y,
                         const Colours& colours, QRgb outline) {
    fill(Mask::pattern(size_, rows, x, y).dilated(), outline);
    stamp(rows, x, y, colours);
}

PixelCanvas PixelCanvas::mirrored() const {
    PixelCanvas result(size_);
    for (int y = 0; y < size_.height(); ++y) {
        for (int x = 0; x < size_.width(); ++x) {
            result.set(size_.width() - 1 - x, y, at(x, y));
        }
    }
    return result;
}

QImage PixelCanvas::toImage(int scale) const {
    QImage image(size_ * scale, QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            line[x] = at(x / scale, y / scale);
        }
    }
    return image;
}

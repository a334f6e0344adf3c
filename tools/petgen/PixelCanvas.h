#pragma once

#include "Mask.h"

#include <QImage>
#include <QRgb>
#include <QSize>
#include <initializer_list>
#include <map>
#include <string_view>
#include <vector>

// Which colour each character of a hand-drawn pattern stands for; '.' is always left alone.
using Colours = std::map<char, QRgb>;

// Three tones of one surface. Light falls from the top left, so the lower right rim darkens.
struct Material {
    QRgb base;
    QRgb shade;
    QRgb deepShade;
};

// One frame on the logical art grid: every logical pixel becomes a square block of screen pixels.
class PixelCanvas {
public:
    explicit PixelCanvas(QSize size);

    QSize size() const { return size_; }
    QRgb at(int x, int y) const;
    void set(int x, int y, QRgb colour);

    void fill(const Mask& mask, QRgb colour);
    // An outlined, shaded shape. Drawn over earlier parts, its outline separates it from them.
    void drawPart(const Mask& mask, QRgb outline, const Material& material);
    // Paints a pattern without an outline (faces, markings).
    void stamp(std::initializer_list<std::string_view> rows, int x, int y, const Colours& colours);
    // Paints a pattern and outlines its silhouette (small props).
    void sprite(std::initializer_list<std::string_view> rows, int x, int y, const Colours& colours,
                QRgb outline);

    PixelCanvas mirrored() const;
    // Nearest-neighbour enlargement: crisp pixel edges, no colours that the art does not use.
    QImage toImage(int scale) const;

private:
    QSize size_;
    std::vector<QRgb> pixels_;
};

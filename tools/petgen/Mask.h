#pragma once

#include <QSize>
#include <functional>
#include <initializer_list>
#include <string_view>
#include <vector>

// A set of pixels on a small logical art grid. Shapes are sampled at pixel centres, so a shape
// centred on a whole coordinate is exactly symmetric and mirrors onto itself.
class Mask {
public:
    explicit Mask(QSize size);

    static Mask where(QSize size, const std::function<bool(double x, double y)>& inside);
    static Mask ellipse(QSize size, double cx, double cy, double rx, double ry);
    // The rectangle [x0, x1) × [y0, y1) with corners rounded by radius.
    static Mask roundedRect(QSize size, double x0, double y0, double x1, double y1, double radius);
    static Mask line(QSize size, double x0, double y0, double x1, double y1, double thickness);
    // Every character of rows other than '.' sets the pixel, with the first row at (x, y).
    static Mask pattern(QSize size, std::initializer_list<std::string_view> rows, int x, int y);

    QSize size() const { return size_; }
    bool contains(int x, int y) const;
    void set(int x, int y);
    bool empty() const;

    Mask shifted(int dx, int dy) const;
    // Grows by one pixel towards the four direct neighbours, which keeps outlines free of the
    // blocky corner pixels that the diagonal neighbours would add.
    Mask dilated() const;
    Mask operator|(const Mask& other) const;
    Mask operator&(const Mask& other) const;
    Mask operator-(const Mask& other) const;

private:
    Mask combined(const Mask& other, bool (*keep)(bool mine, bool theirs)) const;

    QSize size_;
    std::vector<bool> bits_;
};

#include "Mask.h"

#include <algorithm>
#include <cmath>

Mask::Mask(QSize size) : size_(size), bits_(size.width() * size.height(), false) {
}

Mask Mask::where(QSize size, const std::function<bool(double x, double y)>& inside) {
    Mask mask(size);
    for (int y = 0; y < size.height(); ++y) {
        for (int x = 0; x < size.width(); ++x) {
            if (inside(x + 0.5, y + 0.5)) {
                mask.set(x, y);
            }
        }
    }
    return mask;
}

Mask Mask::ellipse(QSize size, double cx, double cy, double rx, double ry) {
    return where(size, [=](double x, double y) {
        const double u = (x - cx) / rx;
        const double v = (y - cy) / ry;
        return u * u + v * v <= 1.0;
    });
}

Mask Mask::roundedRect(QSize size, double x0, double y0, double x1, double y1, double radius) {
    return where(size, [=](double x, double y) {
        if (x < x0 || x > x1 || y < y0 || y > y1) {
            return false;
        }
        const double ex = std::max({x0 + radius - x, x - (x1 - radius), 0.0});
        const double ey = std::max({y0 + radius - y, y - (y1 - radius), 0.0});
        return ex * ex + ey * ey <= radius * radius;
    });
}

Mask Mask::line(QSize size, double x0, double y0, double x1, double y1, double thickness) {
    const double dx = x1 - x0;
    const double dy = y1 - y0;
    const double lengthSquared = std::max(dx * dx + dy * dy, 1e-9);
    const double reach = thickness / 2.0;
    return where(size, [=](double x, double y) {
        const double t = std::clamp(((x - x0) * dx + (y - y0) * dy) / lengthSquared, 0.0, 1.0);
        const double px = x0 + t * dx - x;
        const double py = y0 + t * dy - y;
        return px * px + py * py <= reach * reach;
    });
}

Mask Mask::pattern(QSize size, std::initializer_list<std::string_view> rows, int x, int y) {
    Mask mask(size);
    int row = 0;
    for (std::string_view line : rows) {
        for (int column = 0; column < static_cast<int>(line.size()); ++column) {
            if (line[column] != '.') {
                mask.set(x + column, y + row);
            }
        }
        ++row;
    }
    return mask;
}

bool Mask::contains(int x, int y) const {
    if (x < 0 || y < 0 || x >= size_.width() || y >= size_.height()) {
        return false;
    }
    return bits_[y * size_.width() + x];
}

void Mask::set(int x, int y) {
    if (x >= 0 && y >= 0 && x < size_.width() && y < size_.height()) {
        bits_[y * size_.width() + x] = true;
    }
}

bool Mask::empty() const {
    return std::none_of(bits_.begin(), bits_.end(), [](bool b) { return b; });
}

Mask Mask::shifted(int dx, int dy) const {
    Mask result(size_);
    for (int y = 0; y < size_.height(); ++y) {
        for (int x = 0; x < size_.width(); ++x) {
            if (contains(x - dx, y - dy)) {
                result.set(x, y);
            }
        }
    }
    return result;
}

Mask Mask::dilated() const {
    return *this | shifted(1, 0) | shifted(-1, 0) | shifted(0, 1) | shifted(0, -1);
}

Mask Mask::combined(const Mask& other, bool (*keep)(bool mine, bool theirs)) const {
    Mask result(size_);
    for (size_t i = 0; i < bits_.size(); ++i) {
        result.bits_[i] = keep(bits_[i], other.bits_[i]);
    }
    return result;
}

Mask Mask::operator|(const Mask& other) const {
    return combined(other, [](bool mine, bool theirs) { return mine || theirs; });
}

Mask Mask::operator&(const Mask& other) const {
    return combined(other, [](bool mine, bool theirs) { return mine && theirs; });
}

Mask Mask::operator-(const Mask& other) const {
    return combined(other, [](bool mine, bool theirs) { return mine && !theirs; });
}

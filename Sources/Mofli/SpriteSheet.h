#pragma once

#include "HatchState.h"

#include <QImage>
#include <QString>
#include <memory>
#include <unordered_map>

// A pet's sprite sheet: 8 columns × 9 rows of 192 × 208 frames, one row per HatchState from the
// top. Frames are cut on first use and kept for the life of the sheet.
class SpriteSheet {
public:
    static constexpr int frameWidth = 192;
    static constexpr int frameHeight = 208;

    // Nothing when the file is missing or cannot be decoded.
    static std::shared_ptr<SpriteSheet> load(const QString& path);

    // The same image object for repeated calls; cells outside the sheet are transparent.
    const QImage& frame(HatchState state, int index);

    // Side of the square blocks of equal pixels that the art is drawn in (a pet drawn at four
    // sheet pixels per art pixel gives 4), read from the idle row; 1 for art drawn pixel by pixel.
    int artPixelSize() const { return artPixelSize_; }

private:
    explicit SpriteSheet(QImage image);

    QImage image_;
    int artPixelSize_ = 1;
    // Node-based, so references handed out stay valid while the cache grows.
    std::unordered_map<quint64, QImage> cache_;
};

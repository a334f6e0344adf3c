#include "SpriteSheet.h"

#include <QPainter>

namespace {

// Whether every aligned block × block square of the top row band of `image` holds one colour.
bool drawnInBlocks(const QImage& image, int block) {
    const int height = std::min(image.height(), SpriteSheet::frameHeight);
    if (image.width() % block != 0 || height % block != 0) {
        return false;
    }
    for (int y = 0; y < height; ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        const auto* blockTop = reinterpret_cast<const QRgb*>(image.constScanLine(y - y % block));
        for (int x = 0; x < image.width(); ++x) {
            if (line[x] != blockTop[x - x % block]) {
                return false;
            }
        }
    }
    return true;
}

} // namespace

std::shared_ptr<SpriteSheet> SpriteSheet::load(const QString& path) {
    QImage image(path);
    if (image.isNull()) {
        return nullptr;
    }
    return std::shared_ptr<SpriteSheet>(new SpriteSheet(std::move(image)));
}

SpriteSheet::SpriteSheet(QImage image)
    : image_(image.convertToFormat(QImage::Format_ARGB32_Premultiplied)) {
    for (int block : {8, 4, 2}) {
        if (drawnInBlocks(image_, block)) {
            artPixelSize_ = block;
            break;
        }
    }
}

const QImage& SpriteSheet::frame(HatchState state, int index) {
    const quint64 key = (quint64(quint32(state.row())) << 32) | quint32(index);
    if (auto found = cache_.find(key); found != cache_.end()) {
        return found->second;
    }
    QImage cell(frameWidth, frameHeight, QImage::Format_ARGB32_Premultiplied);
    cell.fill(Qt::transparent);
    {
        // Copy, not blend: the sheet's alpha must survive unchanged.
        QPainter painter(&cell);
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        const QRect source(index * frameWidth, state.row() * frameHeight, frameWidth, frameHeight);
        painter.drawImage(QPoint(0, 0), image_, source);
    }
    return cache_.emplace(key, std::move(cell)).first->second;
}

#include "SpriteSheet.h"

#include <QPainter>

std::shared_ptr<SpriteSheet> SpriteSheet::load(const QString& path) {
    QImage image(path);
    if (image.isNull()) {
        return nullptr;
    }
    return std::shared_ptr<SpriteSheet>(new SpriteSheet(std::move(image)));
}

SpriteSheet::SpriteSheet(QImage image)
    : image_(image.convertToFormat(QImage::Format_ARGB32_Premultiplied)) {
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

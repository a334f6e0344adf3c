#include "PetPreviews.h"

#include "SpriteSheet.h"

#include <QFileInfo>

PetPreviews::PetPreviews(QObject* parent) : QObject(parent) {
}

PetPreviews::~PetPreviews() {
    pool_.clear();
    pool_.waitForDone();
}

std::optional<QImage> PetPreviews::preview(const QString& path, int side) {
    const QFileInfo file(path);
    const qint64 fileSize = file.exists() ? file.size() : -1;
    const QDateTime modified = file.lastModified();
    Entry& entry = entries_[path];
    if (entry.ticket != 0 && entry.fileSize == fileSize && entry.modified == modified &&
        entry.side == side) {
        return entry.image;
    }
    entry = Entry{fileSize, modified, side, nextTicket_++, std::nullopt};
    pool_.start([this, path, side, ticket = entry.ticket] {
        QImage image = decode(path, side);
        QMetaObject::invokeMethod(
            this,
            [this, path, ticket, image = std::move(image)] {
                const auto found = entries_.find(path);
                if (found == entries_.end() || found->ticket != ticket) {
                    return;
                }
                found->image = image;
                emit ready(path);
            },
            Qt::QueuedConnection);
    });
    return std::nullopt;
}

QImage PetPreviews::decode(const QString& path, int side) {
    const std::shared_ptr<SpriteSheet> sheet = SpriteSheet::load(path);
    if (!sheet) {
        return {};
    }
    QImage frame = sheet->frame(HatchState::idle, 0);
    // Down to one pixel per drawn pixel first, exactly, so that the final fit keeps whole pixels
    // of the art rather than sampling across its blocks.
    const double block = sheet->artPixelSize() * sheet->pixelsPerUnit();
    if (block > 1) {
        frame = frame.scaled(QSize(int(frame.width() / block), int(frame.height() / block)),
                             Qt::IgnoreAspectRatio, Qt::FastTransformation);
    }
    return frame.scaled(QSize(side, side), Qt::KeepAspectRatio, Qt::FastTransformation);
}

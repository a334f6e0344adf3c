#include "PetPreviews.h"

#include "FreedMemory.h"
#include "SpriteSheet.h"
#include "WorkerPriority.h"

#include <QFileInfo>

PetPreviews::PetPreviews(QObject* parent) : QObject(parent) {
    // A sheet may decode to a hundred megabytes whatever its file size; how many are decoded at
    // once must not follow the number of cores.
    pool_.setMaxThreadCount(maxDecodes);
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
    ++decoding_;
    pool_.start([this, path, side, ticket = entry.ticket] {
        WorkerPriority::giveWayToTheGuiThread();
        QImage image = decode(path, side);
        QMetaObject::invokeMethod(
            this,
            [this, path, ticket, image = std::move(image)] {
                if (--decoding_ == 0) {
                    // What the decoded sheets took stays with the allocator otherwise.
                    pool_.start(&FreedMemory::returnToTheSystem);
                }
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
    std::optional<QSemaphoreReleaser> held;
    const auto admit = [&](QSize pixels) {
        const qint64 oneUnitPixels = qint64(SpriteSheet::columnCount) * SpriteSheet::frameWidth *
                                     SpriteSheet::rowCount * SpriteSheet::frameHeight;
        const int units = qint64(pixels.width()) * pixels.height() > oneUnitPixels ? maxDecodes : 1;
        decodeBudget_.acquire(units);
        held.emplace(decodeBudget_, units);
    };
    const std::optional<SpriteSheet::Frame> cut =
        SpriteSheet::loadFrame(path, HatchState::idle, 0, admit);
    held.reset();
    if (!cut) {
        return {};
    }
    QImage frame = cut->image;
    // Down to one pixel per drawn pixel first, exactly, so that the final fit keeps whole pixels
    // of the art rather than sampling across its blocks.
    const double block = cut->artPixelSize * cut->pixelsPerUnit;
    if (block > 1) {
        frame = frame.scaled(QSize(int(frame.width() / block), int(frame.height() / block)),
                             Qt::IgnoreAspectRatio, Qt::FastTransformation);
    }
    return frame.scaled(QSize(side, side), Qt::KeepAspectRatio, Qt::FastTransformation);
}

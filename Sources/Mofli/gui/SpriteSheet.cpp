#include "SpriteSheet.h"

#include "FileTrust.h"
#include "Logging.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <QPainter>
#include <QtEndian>
#include <cerrno>
#include <cmath>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr double pointsPerInch = 72.0;
constexpr double inchesPerMeter = 1 / 0.0254;

// A sheet is read whole and decoded in memory. Pet packages come from anywhere, so the file is
// looked at before it is opened (a FIFO would block the app for good) and its size is bounded,
// in bytes and in pixels: three pixels per unit covers every sheet drawn for a sharper screen.
constexpr qint64 maxFileBytes = qint64(64) << 20;
constexpr int maxPixelsPerUnit = 3;

// The horizontal resolution a PNG declares in its pHYs chunk, in dots per inch; nothing when it
// declares none or only an aspect ratio.
std::optional<double> pngDotsPerInch(QIODevice& file) {
    const QByteArray signature = file.read(8);
    if (signature != QByteArray::fromRawData("\x89PNG\r\n\x1a\n", 8)) {
        return std::nullopt;
    }
    for (;;) {
        const QByteArray header = file.read(8);
        if (header.size() != 8) {
            return std::nullopt;
        }
        const quint32 length = qFromBigEndian<quint32>(header.constData());
        const QByteArray type = header.mid(4);
        // The chunk must come before the image data.
        if (type == "IDAT" || type == "IEND") {
            return std::nullopt;
        }
        if (type == "pHYs" && length == 9) {
            const QByteArray data = file.read(9);
            const quint32 perMeter = qFromBigEndian<quint32>(data.constData());
            if (data.size() != 9 || data[8] != 1 || perMeter == 0) {
                return std::nullopt;
            }
            return perMeter / inchesPerMeter;
        }
        if (!file.seek(file.pos() + qint64(length) + 4)) {
            return std::nullopt;
        }
    }
}

// How many pixels of the file make one unit of the sheet's grid.
double declaredPixelsPerUnit(const QByteArray& contents) {
    QBuffer file;
    file.setData(contents);
    if (!file.open(QIODevice::ReadOnly)) {
        return 1.0;
    }
    const std::optional<double> dpi = pngDotsPerInch(file);
    if (!dpi) {
        return 1.0;
    }
    const double ratio = *dpi / pointsPerInch;
    // A resolution no sheet is drawn in would make every frame vanishingly small or gigabytes
    // large; the file's pixels are taken as they are then.
    if (ratio < 1.0 / maxPixelsPerUnit || ratio > maxPixelsPerUnit + 0.01) {
        return 1.0;
    }
    // Pixels per metre are whole numbers, so 72 dpi is stored as 72.009.
    const double whole = std::round(ratio);
    return whole >= 1 && std::abs(ratio - whole) < 0.01 ? whole : ratio;
}

// Whether every aligned block × block square of the top row band of `image` holds one colour.
bool drawnInBlocks(const QImage& image, int block, int bandHeight) {
    const int height = std::min(image.height(), bandHeight);
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

// The whole file, or nothing when it is no regular file, too large, unreadable, or could have
// been written by someone else. It is opened without blocking and checked again, in case it was
// swapped since the first look.
std::optional<QByteArray> readSheetFile(const QString& path) {
    const QByteArray nativePath = QFile::encodeName(path);
    struct stat info;
    if (stat(nativePath.constData(), &info) != 0 || !S_ISREG(info.st_mode) ||
        info.st_size > maxFileBytes) {
        return std::nullopt;
    }
    const int fd = open(nativePath.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return std::nullopt;
    }
    std::optional<QByteArray> contents;
    if (fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size <= maxFileBytes &&
        !FileTrust::distrust(info)) {
        contents.emplace();
        contents->reserve(qsizetype(info.st_size));
        char chunk[65536];
        for (;;) {
            const ssize_t count = read(fd, chunk, sizeof chunk);
            if (count < 0 && errno == EINTR) {
                continue;
            }
            if (count < 0 || contents->size() + count > maxFileBytes) {
                contents.reset();
                break;
            }
            if (count == 0) {
                break;
            }
            contents->append(chunk, count);
        }
    }
    close(fd);
    return contents;
}

} // namespace

std::shared_ptr<SpriteSheet> SpriteSheet::load(const QString& path) {
    const std::optional<QByteArray> contents = readSheetFile(path);
    if (!contents) {
        qCInfo(lcSheet) << "cannot load the sprite sheet" << path
                        << "(missing, unreadable, larger than" << maxFileBytes
                        << "bytes, no regular file, of another user or writable by others)";
        return nullptr;
    }
    QBuffer buffer;
    buffer.setData(*contents);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    const QSize size = reader.size();
    if (size.width() > maxPixelsPerUnit * columnCount * frameWidth ||
        size.height() > maxPixelsPerUnit * rowCount * frameHeight) {
        qCInfo(lcSheet) << "cannot load the sprite sheet" << path << "(" << size
                        << "pixels is more than any sheet needs)";
        return nullptr;
    }
    QImage image = reader.read();
    if (image.isNull()) {
        qCInfo(lcSheet) << "cannot load the sprite sheet" << path << "(" << reader.errorString()
                        << ")";
        return nullptr;
    }
    return std::shared_ptr<SpriteSheet>(
        new SpriteSheet(std::move(image), declaredPixelsPerUnit(*contents)));
}

SpriteSheet::SpriteSheet(QImage image, double pixelsPerUnit)
    : image_(image.convertToFormat(QImage::Format_ARGB32_Premultiplied)),
      pixelsPerUnit_(pixelsPerUnit) {
    const int band = int(std::lround(frameHeight * pixelsPerUnit_));
    for (int block : {8, 4, 2}) {
        const double units = block / pixelsPerUnit_;
        if (units >= 1 && units == std::floor(units) && drawnInBlocks(image_, block, band)) {
            artPixelSize_ = int(units);
            break;
        }
    }
}

const QImage& SpriteSheet::frame(HatchState state, int index) {
    const quint64 key = (quint64(quint32(state.row())) << 32) | quint32(index);
    if (auto found = cache_.find(key); found != cache_.end()) {
        return found->second;
    }
    const double unit = pixelsPerUnit_;
    QImage cell(int(std::lround(frameWidth * unit)), int(std::lround(frameHeight * unit)),
                QImage::Format_ARGB32_Premultiplied);
    cell.fill(Qt::transparent);
    {
        // Copy, not blend: the sheet's alpha must survive unchanged.
        QPainter painter(&cell);
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        // Rows count up from the bottom edge: (8 - row) bands above it.
        const double bottom = image_.height() - (rowCount - 1 - state.row()) * frameHeight * unit;
        const QRectF source(index * frameWidth * unit, bottom - frameHeight * unit,
                            frameWidth * unit, frameHeight * unit);
        painter.drawImage(QRectF(QPointF(0, 0), QSizeF(cell.size())), image_, source);
    }
    return cache_.emplace(key, std::move(cell)).first->second;
}

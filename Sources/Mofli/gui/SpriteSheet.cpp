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
#include <functional>
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

// The side, in units, of the blocks that the top `band` pixel rows of `image` are drawn in.
int artPixelSizeOf(const QImage& image, int band, double pixelsPerUnit) {
    for (int block : {8, 4, 2}) {
        const double units = block / pixelsPerUnit;
        if (units >= 1 && units == std::floor(units) && drawnInBlocks(image, block, band)) {
            return int(units);
        }
    }
    return 1;
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

// The image in the sheet file at `path` and its pixels per unit, decoded after `prepare` has set
// up the reader (if given) for the sheet's pixel size and pixels per unit; nothing, with the
// reason told, when the sheet is refused or cannot be decoded.
std::optional<std::pair<QImage, double>>
decodeSheet(const QString& path,
            const std::function<void(QImageReader&, const QSize&, double)>& prepare) {
    const std::optional<QByteArray> contents = readSheetFile(path);
    if (!contents) {
        qCInfo(lcSheet) << "cannot load the sprite sheet" << path
                        << "(missing, unreadable, larger than" << maxFileBytes
                        << "bytes, no regular file, of another user or writable by others)";
        return std::nullopt;
    }
    QBuffer buffer;
    buffer.setData(*contents);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    const QSize size = reader.size();
    if (size.width() > maxPixelsPerUnit * SpriteSheet::columnCount * SpriteSheet::frameWidth ||
        size.height() > maxPixelsPerUnit * SpriteSheet::rowCount * SpriteSheet::frameHeight) {
        qCInfo(lcSheet) << "cannot load the sprite sheet" << path << "(" << size
                        << "pixels is more than any sheet needs)";
        return std::nullopt;
    }
    const double pixelsPerUnit = declaredPixelsPerUnit(*contents);
    if (prepare) {
        prepare(reader, size, pixelsPerUnit);
    }
    QImage image = reader.read();
    if (image.isNull()) {
        qCInfo(lcSheet) << "cannot load the sprite sheet" << path << "(" << reader.errorString()
                        << ")";
        return std::nullopt;
    }
    return std::pair(std::move(image), pixelsPerUnit);
}

} // namespace

std::shared_ptr<SpriteSheet> SpriteSheet::load(const QString& path) {
    auto decoded = decodeSheet(path, {});
    if (!decoded) {
        return nullptr;
    }
    return std::shared_ptr<SpriteSheet>(
        new SpriteSheet(std::move(decoded->first), decoded->second));
}

std::optional<SpriteSheet::Frame>
SpriteSheet::loadFrame(const QString& path, HatchState state, int index,
                       const std::function<void(QSize)>& beforeDecoding) {
    // The cell and where the decoded image lies, both in the pixels of the decoded sheet.
    QRectF source;
    QPointF origin;
    double unit = 1.0;
    const auto prepare = [&](QImageReader& reader, const QSize& size, double pixelsPerUnit) {
        unit = pixelsPerUnit;
        const double whole = std::floor(unit);
        if (reader.supportsOption(QImageIOHandler::ClipRect)) {
            source = cellRect(size.height(), unit, state, index);
            const QRect clip = source.toAlignedRect() & QRect(QPoint(), size);
            if (!clip.isEmpty()) {
                reader.setClipRect(clip);
                origin = clip.topLeft();
            }
        } else if (reader.supportsOption(QImageIOHandler::ScaledSize) && unit == whole &&
                   unit > 1 && size.width() % int(whole) == 0 && size.height() % int(whole) == 0) {
            // Each unit is a square of whole pixels: at one pixel per unit nothing is lost.
            const QSize scaled = size / int(whole);
            reader.setScaledSize(scaled);
            unit = 1.0;
            source = cellRect(scaled.height(), unit, state, index);
        } else {
            source = cellRect(size.height(), unit, state, index);
        }
        if (beforeDecoding) {
            beforeDecoding(size);
        }
    };
    const auto decoded = decodeSheet(path, prepare);
    if (!decoded) {
        return std::nullopt;
    }
    Frame frame;
    frame.image = cutCell(decoded->first, origin, source, unit);
    frame.pixelsPerUnit = unit;
    frame.artPixelSize = artPixelSizeOf(frame.image, frame.image.height(), unit);
    return frame;
}

SpriteSheet::SpriteSheet(QImage image, double pixelsPerUnit)
    : image_(std::move(image).convertToFormat(QImage::Format_ARGB32_Premultiplied)),
      pixelsPerUnit_(pixelsPerUnit),
      artPixelSize_(
          artPixelSizeOf(image_, int(std::lround(frameHeight * pixelsPerUnit)), pixelsPerUnit)) {
}

QRectF SpriteSheet::cellRect(int sheetHeight, double pixelsPerUnit, HatchState state, int index) {
    // Rows count up from the bottom edge: (8 - row) bands above it.
    const double unit = pixelsPerUnit;
    const double bottom = sheetHeight - (rowCount - 1 - state.row()) * frameHeight * unit;
    return QRectF(index * frameWidth * unit, bottom - frameHeight * unit, frameWidth * unit,
                  frameHeight * unit);
}

QImage SpriteSheet::cutCell(const QImage& image, QPointF imageOrigin, const QRectF& source,
                            double pixelsPerUnit) {
    QImage cell(int(std::lround(frameWidth * pixelsPerUnit)),
                int(std::lround(frameHeight * pixelsPerUnit)), QImage::Format_ARGB32_Premultiplied);
    cell.fill(Qt::transparent);
    // Copy, not blend: the sheet's alpha must survive unchanged. Parts of the cell outside the
    // image stay transparent.
    QPainter painter(&cell);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.drawImage(QRectF(QPointF(0, 0), QSizeF(cell.size())), image,
                      source.translated(-imageOrigin));
    return cell;
}

const QImage& SpriteSheet::frame(HatchState state, int index) {
    const quint64 key = (quint64(quint32(state.row())) << 32) | quint32(index);
    if (auto found = cache_.find(key); found != cache_.end()) {
        return found->second;
    }
    QImage cell = cutCell(image_, {}, cellRect(image_.height(), pixelsPerUnit_, state, index),
                          pixelsPerUnit_);
    return cache_.emplace(key, std::move(cell)).first->second;
}

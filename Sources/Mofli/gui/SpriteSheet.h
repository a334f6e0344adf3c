#pragma once

#include "HatchState.h"

#include <QImage>
#include <QRectF>
#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <unordered_map>

// A pet's sprite sheet: 8 columns × 9 rows of 192 × 208 frames, one row per HatchState. Sizes are
// in the image's own units: pixels, unless the file declares a resolution other than 72 dpi (a
// 144-dpi sheet has two pixels per unit). Rows are located from the bottom edge, so a sheet of
// 1872 units has row 0 at the top. Frames are cut on first use and kept for the life of the sheet.
class SpriteSheet {
public:
    static constexpr int frameWidth = 192;
    static constexpr int frameHeight = 208;
    static constexpr int columnCount = 8;
    static constexpr int rowCount = 9;

    // One frame cut from a sheet, with what the whole sheet would say about it.
    struct Frame {
        QImage image; // frameWidth × frameHeight units, pixelsPerUnit times as many pixels
        double pixelsPerUnit = 1.0;
        int artPixelSize = 1; // read from this frame alone
    };

    // Nothing when the file is missing, no regular file (a FIFO, device, socket or folder is
    // never opened), of another user or writable by others, larger than 64 MiB, more than three
    // pixels per unit of a whole sheet on either side, or cannot be decoded.
    static std::shared_ptr<SpriteSheet> load(const QString& path);
    // The frame (state, index) of the sheet at `path`, as frame() would cut it, without keeping
    // the whole sheet: formats that can decode a part of an image (JPEG) decode only the frame,
    // formats that can decode at a smaller size (PNG) decode a sheet of more than one pixel per
    // unit at one, and the others decode the sheet and drop all but the frame at once. Nothing
    // where load() gives nothing. `beforeDecoding`, if given, learns the sheet's size in pixels
    // just before the decoding starts, which then waits for it to return.
    static std::optional<Frame> loadFrame(const QString& path, HatchState state, int index,
                                          const std::function<void(QSize)>& beforeDecoding = {});

    // The same image object for repeated calls; cells outside the sheet are transparent. The
    // frame has frameWidth × frameHeight units, so pixelsPerUnit() times as many pixels.
    const QImage& frame(HatchState state, int index);

    double pixelsPerUnit() const { return pixelsPerUnit_; }
    // Side of the square blocks of equal pixels that the art is drawn in, in units (a pet drawn
    // at four sheet pixels per art pixel gives 4), read from the idle row; 1 for art drawn pixel
    // by pixel.
    int artPixelSize() const { return artPixelSize_; }

private:
    SpriteSheet(QImage image, double pixelsPerUnit);

    // Where the cell (state, index) lies in a sheet `sheetHeight` pixels high, in its pixels.
    static QRectF cellRect(int sheetHeight, double pixelsPerUnit, HatchState state, int index);
    // A transparent cell with the part of `image` inside `source` copied in; `source` is in the
    // image's pixels, `imageOrigin` is where the image's top left lies in the same coordinates.
    static QImage cutCell(const QImage& image, QPointF imageOrigin, const QRectF& source,
                          double pixelsPerUnit);

    QImage image_;
    double pixelsPerUnit_ = 1.0;
    int artPixelSize_ = 1;
    // Node-based, so references handed out stay valid while the cache grows.
    std::unordered_map<quint64, QImage> cache_;
};

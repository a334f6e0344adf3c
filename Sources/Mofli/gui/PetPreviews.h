#pragma once

#include <QDateTime>
#include <QHash>
#include <QImage>
#include <QObject>
#include <QSemaphore>
#include <QString>
#include <QThreadPool>
#include <optional>

// The picker's preview images: the first idle frame of each pet's sprite sheet, fitted into a
// square with hard pixel edges. Sheets are decoded on worker threads, a few at a time, so that a
// long list opens at once and its previews fill in; only the frame is kept of each, and a preview
// is kept while its file keeps its size and modification time, so rebuilding the list decodes
// nothing that did not change.
class PetPreviews : public QObject {
    Q_OBJECT

public:
    // Sheets decoded at the same time, whatever the number of cores. A sheet of more than one
    // pixel per unit, which may decode to a hundred megabytes whatever its file size, is decoded
    // alone.
    static constexpr int maxDecodes = 2;

    explicit PetPreviews(QObject* parent = nullptr);
    ~PetPreviews() override;

    // The preview of the sheet at `path`, `side` device pixels at most on either side: a null
    // image when the sheet cannot be loaded, nothing while it is being decoded (ready() follows).
    std::optional<QImage> preview(const QString& path, int side);

signals:
    // A preview asked for has been decoded; ask again for it.
    void ready(const QString& path);

private:
    struct Entry {
        qint64 fileSize = -1;
        QDateTime modified;
        int side = 0;
        // Identifies the decode whose result the entry waits for; results of older ones are
        // dropped.
        quint64 ticket = 0;
        std::optional<QImage> image;
    };

    QImage decode(const QString& path, int side);

    QHash<QString, Entry> entries_;
    // Units of decoding: a sheet of one pixel per unit takes one, a larger sheet all of them.
    QSemaphore decodeBudget_{maxDecodes};
    quint64 nextTicket_ = 1;
    // Decodes started and not yet reported.
    int decoding_ = 0;
    // Last member: destroyed first, waiting for decodes that still report to this object.
    QThreadPool pool_;
};

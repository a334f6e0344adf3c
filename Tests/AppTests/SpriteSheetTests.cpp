#include "AppFixture.h"
#include "FifoGuard.h"
#include "SpriteSheet.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QImageWriter>
#include <QPainter>
#include <QTemporaryDir>
#include <cmath>
#include <utility>

namespace {

class SpriteSheetTest : public AppFixture {
protected:
    QString write(const QString& name, const QImage& image, const char* format) {
        const QString path = QDir(dir_.path()).filePath(name);
        EXPECT_TRUE(image.save(path, format, 100));
        return path;
    }
    // The test sheet at two pixels per unit, marked 144 dpi.
    static QImage doubledSheet() {
        const QImage regular = makeSheet();
        QImage doubled = regular.scaled(regular.size() * 2);
        const int dpm144 = int(std::lround(144 / 0.0254));
        doubled.setDotsPerMeterX(dpm144);
        doubled.setDotsPerMeterY(dpm144);
        return doubled;
    }
    QTemporaryDir dir_;
};

TEST_F(SpriteSheetTest, CutsEveryCellFromItsRowAndColumnAndKeepsTransparency) {
    auto sheet = SpriteSheet::load(write("sheet.png", makeSheet(), "PNG"));
    ASSERT_TRUE(sheet);
    for (HatchState state : HatchState::allCases()) {
        for (int index = 0; index < state.frameCount(); ++index) {
            const QImage& frame = sheet->frame(state, index);
            ASSERT_EQ(frame.size(), QSize(192, 208));
            EXPECT_EQ(frame.pixelColor(100, 100), cellColor(state, index))
                << state.rawValue().toStdString() << ":" << index;
            EXPECT_EQ(frame.pixelColor(191, 207), cellColor(state, index));
            EXPECT_EQ(qAlpha(frame.pixel(0, 0)), 0) << "transparent pixels stay transparent";
        }
    }
    for (int index : {8, 100, -1}) {
        const QImage& outside = sheet->frame(HatchState::idle, index);
        EXPECT_EQ(outside.size(), QSize(192, 208));
        EXPECT_EQ(qAlpha(outside.pixel(100, 100)), 0) << "cell " << index << " is off the sheet";
    }
}

TEST_F(SpriteSheetTest, RepeatedRequestsReturnTheSameImageObject) {
    auto sheet = SpriteSheet::load(write("sheet.png", makeSheet(), "PNG"));
    ASSERT_TRUE(sheet);
    const QImage* first = &sheet->frame(HatchState::review, 5);
    // Growing the cache must not move frames handed out earlier.
    for (HatchState state : HatchState::allCases()) {
        for (int index = 0; index < 8; ++index) {
            sheet->frame(state, index);
        }
    }
    EXPECT_EQ(&sheet->frame(HatchState::review, 5), first);
    EXPECT_EQ(first->pixelColor(50, 50), cellColor(HatchState::review, 5));
}

TEST_F(SpriteSheetTest, MissingOrUndecodableFilesGiveNoSheet) {
    EXPECT_FALSE(SpriteSheet::load(QDir(dir_.path()).filePath("missing.png")));
    const QString text = QDir(dir_.path()).filePath("notes.png");
    QFile file(text);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("this is not an image");
    file.close();
    EXPECT_FALSE(SpriteSheet::load(text));
}

TEST_F(SpriteSheetTest, RowsAreCountedFromTheBottomEdge) {
    // One spare band on top: every state sits one band lower than in a regular sheet.
    QImage tall(1536, 1872 + 208, QImage::Format_ARGB32);
    tall.setDotsPerMeterX(2835);
    tall.setDotsPerMeterY(2835);
    tall.fill(Qt::black);
    QPainter painter(&tall);
    painter.drawImage(0, 208, makeSheet());
    painter.end();
    auto sheet = SpriteSheet::load(write("tall.png", tall, "PNG"));
    ASSERT_TRUE(sheet);
    EXPECT_EQ(sheet->frame(HatchState::review, 2).pixelColor(100, 100),
              cellColor(HatchState::review, 2));
    EXPECT_EQ(sheet->frame(HatchState::idle, 0).pixelColor(100, 100),
              cellColor(HatchState::idle, 0));
}

TEST_F(SpriteSheetTest, SizesAreInTheImagesOwnUnits) {
    const QImage regular = makeSheet();
    auto retina = SpriteSheet::load(write("retina.png", doubledSheet(), "PNG"));
    ASSERT_TRUE(retina);
    EXPECT_DOUBLE_EQ(retina->pixelsPerUnit(), 2.0);
    const QImage& frame = retina->frame(HatchState::waiting, 3);
    EXPECT_EQ(frame.size(), QSize(384, 416)) << "twice the pixels for the same frame";
    EXPECT_EQ(frame.pixelColor(200, 200), cellColor(HatchState::waiting, 3));
    EXPECT_EQ(frame.pixelColor(383, 415), cellColor(HatchState::waiting, 3));

    // Without any resolution in the file, pixels are the units.
    QByteArray png;
    {
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        regular.save(&buffer, "PNG");
    }
    const int physical = png.indexOf("pHYs");
    ASSERT_GT(physical, 4);
    png.remove(physical - 4, 4 + 4 + 9 + 4);
    const QString plainPath = QDir(dir_.path()).filePath("plain.png");
    QFile plain(plainPath);
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    plain.write(png);
    plain.close();
    auto unmarked = SpriteSheet::load(plainPath);
    ASSERT_TRUE(unmarked);
    EXPECT_DOUBLE_EQ(unmarked->pixelsPerUnit(), 1.0);
    EXPECT_EQ(unmarked->frame(HatchState::failed, 1).size(), QSize(192, 208));
    EXPECT_EQ(unmarked->frame(HatchState::failed, 1).pixelColor(50, 50),
              cellColor(HatchState::failed, 1));
}

TEST_F(SpriteSheetTest, OneFrameAloneIsTheFrameOfTheWholeSheetInEveryFormat) {
    const QImage regular = makeSheet();
    const QImage doubled = doubledSheet();
    // PNG decodes a doubled sheet at half its size, JPEG decodes the frame alone, WebP decodes
    // it all; each gives the same frame.
    const struct {
        const char* file;
        const QImage& image;
        const char* format;
        bool lossy;
    } cases[] = {{"sheet.png", regular, "PNG", false},
                 {"doubled.png", doubled, "PNG", false},
                 {"sheet.jpg", regular, "JPEG", true},
                 {"sheet.webp", regular, "WEBP", false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        const QString path = write(c.file, c.image, c.format);
        const std::shared_ptr<SpriteSheet> sheet = SpriteSheet::load(path);
        ASSERT_TRUE(sheet);
        for (const auto& [state, index] :
             {std::pair(HatchState::idle, 0), std::pair(HatchState::waiting, 3),
              std::pair(HatchState::review, 9)}) {
            const std::optional<SpriteSheet::Frame> alone =
                SpriteSheet::loadFrame(path, state, index);
            ASSERT_TRUE(alone);
            const QImage& whole = sheet->frame(state, index);
            ASSERT_EQ(alone->image.size() * (whole.width() / alone->image.width()), whole.size());
            EXPECT_EQ(alone->image.size(), QSize(192, 208) * alone->pixelsPerUnit);
            const QColor aloneColor = alone->image.pixelColor(alone->image.width() / 2, 100);
            const QColor wholeColor =
                whole.pixelColor(whole.width() / 2, 100 * whole.height() / alone->image.height());
            EXPECT_NEAR(aloneColor.red(), wholeColor.red(), c.lossy ? 3 : 0);
            EXPECT_NEAR(aloneColor.green(), wholeColor.green(), c.lossy ? 3 : 0);
            EXPECT_NEAR(aloneColor.alpha(), wholeColor.alpha(), c.lossy ? 3 : 0);
        }
    }
}

TEST_F(SpriteSheetTest, LoadsWebP) {
    // WebP comes with Qt's image-formats plugins (qt6-image-formats-plugins, Homebrew's
    // qtimageformats), which scripts/setup installs; a Qt without them cannot read it at all.
    if (!QImageReader::supportedImageFormats().contains("webp") ||
        !QImageWriter::supportedImageFormats().contains("webp")) {
        GTEST_SKIP() << "this Qt has no WebP plugin (Qt's image-formats plugins are missing)";
    }
    auto sheet = SpriteSheet::load(write("spritesheet.webp", makeSheet(), "WEBP"));
    ASSERT_TRUE(sheet);
    const QColor color = sheet->frame(HatchState::waiting, 3).pixelColor(100, 100);
    const QColor expected = cellColor(HatchState::waiting, 3);
    EXPECT_NEAR(color.red(), expected.red(), 2);
    EXPECT_NEAR(color.green(), expected.green(), 2);
    EXPECT_NEAR(color.blue(), expected.blue(), 2);
}

} // namespace

TEST_F(SpriteSheetTest, FindsTheBlockSizeTheArtIsDrawnIn) {
    QImage blocks(1536, 1872, QImage::Format_ARGB32);
    blocks.setDotsPerMeterX(2835);
    blocks.setDotsPerMeterY(2835);
    blocks.fill(Qt::transparent);
    for (int y = 0; y < 208; ++y) {
        for (int x = 0; x < 1536; ++x) {
            const int bx = x / 4, by = y / 4;
            blocks.setPixel(x, y,
                            (bx * 7 + by * 13) % 5 == 0 ? qRgba(0, 0, 0, 0)
                                                        : qRgba(bx % 256, by * 4, 90, 255));
        }
    }
    auto fourByFour = SpriteSheet::load(write("blocks.png", blocks, "PNG"));
    ASSERT_TRUE(fourByFour);
    EXPECT_EQ(fourByFour->artPixelSize(), 4);

    blocks.setPixel(101, 50, qRgba(1, 2, 3, 255));
    auto stray = SpriteSheet::load(write("stray.png", blocks, "PNG"));
    ASSERT_TRUE(stray);
    EXPECT_EQ(stray->artPixelSize(), 1) << "one stray pixel means the art is drawn pixel by pixel";
}

TEST_F(SpriteSheetTest, RefusesWhatIsNoRegularFileWithoutWaitingOnIt) {
    const QString fifo = QDir(dir_.path()).filePath("fifo.png");
    FifoGuard::create(QFile::encodeName(fifo).toStdString());
    EXPECT_TRUE(FifoGuard::finishesWithoutWaiting(QFile::encodeName(fifo).toStdString(),
                                                  [&] { EXPECT_FALSE(SpriteSheet::load(fifo)); }));
    EXPECT_FALSE(SpriteSheet::load(dir_.path()));
    EXPECT_FALSE(SpriteSheet::load("/dev/zero"));
    const QString linkToDevice = QDir(dir_.path()).filePath("device.png");
    ASSERT_TRUE(QFile::link("/dev/zero", linkToDevice));
    EXPECT_FALSE(SpriteSheet::load(linkToDevice));
    const QString linkToSheet = QDir(dir_.path()).filePath("linked.png");
    ASSERT_TRUE(QFile::link(write("sheet.png", makeSheet(), "PNG"), linkToSheet));
    EXPECT_TRUE(SpriteSheet::load(linkToSheet));
    // Nor what anyone may have written.
    ASSERT_TRUE(
        QFile::setPermissions(linkToSheet, QFile::permissions(linkToSheet) | QFile::WriteOther));
    EXPECT_FALSE(SpriteSheet::load(linkToSheet));
}

TEST_F(SpriteSheetTest, RefusesOversizedSheetsAndIgnoresAbsurdResolutions) {
    // Larger on disk than any sheet: refused by its size, never read.
    QFile sheetFile(write("sheet.png", makeSheet(), "PNG"));
    ASSERT_TRUE(sheetFile.open(QIODevice::ReadOnly));
    QFile sparse(QDir(dir_.path()).filePath("sparse.png"));
    ASSERT_TRUE(sparse.open(QIODevice::WriteOnly));
    sparse.write(sheetFile.readAll());
    ASSERT_TRUE(sparse.resize(qint64(65) << 20));
    sparse.close();
    EXPECT_FALSE(SpriteSheet::load(sparse.fileName()));

    // Small on disk, but 30000 × 30000 pixels once decoded.
    QImage tiny(1, 1, QImage::Format_ARGB32);
    tiny.fill(Qt::red);
    QByteArray png;
    {
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        tiny.save(&buffer, "PNG");
    }
    const int header = png.indexOf("IHDR");
    ASSERT_GT(header, 0);
    const QByteArray huge = QByteArray::fromHex("0000753000007530");
    png.replace(header + 4, 8, huge);
    const QString bomb = QDir(dir_.path()).filePath("bomb.png");
    QFile bombFile(bomb);
    ASSERT_TRUE(bombFile.open(QIODevice::WriteOnly));
    bombFile.write(png);
    bombFile.close();
    EXPECT_FALSE(SpriteSheet::load(bomb));

    // A sheet that claims 7200 dpi would cut frames of 100 × 100 times the pixels.
    QImage sheet = makeSheet();
    const int dpm7200 = int(std::lround(7200 / 0.0254));
    sheet.setDotsPerMeterX(dpm7200);
    sheet.setDotsPerMeterY(dpm7200);
    auto absurd = SpriteSheet::load(write("absurd.png", sheet, "PNG"));
    ASSERT_TRUE(absurd);
    EXPECT_DOUBLE_EQ(absurd->pixelsPerUnit(), 1.0);
    EXPECT_EQ(absurd->frame(HatchState::idle, 0).size(), QSize(192, 208));
}

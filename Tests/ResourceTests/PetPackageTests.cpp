#include <QDir>
#include <QFile>
#include <QImage>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRect>
#include <QSet>
#include <QTemporaryDir>
#include <QtEndian>
#include <array>
#include <gtest/gtest.h>

namespace {

constexpr int cellWidth = 192;
constexpr int cellHeight = 208;
constexpr int columns = 8;
// Rows from the top: idle, running-right, running-left, waving, jumping, failed, waiting,
// running, review.
constexpr std::array<int, 9> frameCounts{6, 8, 8, 4, 5, 8, 6, 6, 6};
// Each art pixel is a 4 × 4 block of sheet pixels.
constexpr int artScale = 4;

QDir petsDir() {
    return QDir(QDir(MOFLI_RESOURCES_DIR).filePath("pets"));
}

// Folder names as std::string, so that test names and failures show them readably.
std::vector<std::string> shippedPetFolders() {
    std::vector<std::string> folders;
    for (const QString& name : petsDir().entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name)) {
        folders.push_back(name.toStdString());
    }
    return folders;
}

QJsonObject readDescriptor(const QDir& folder) {
    QFile file(folder.filePath("pet.json"));
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    return QJsonDocument::fromJson(file.readAll()).object();
}

QImage cell(const QImage& sheet, int row, int column) {
    return sheet.copy(column * cellWidth, row * cellHeight, cellWidth, cellHeight);
}

bool isBlank(const QImage& image) {
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (qAlpha(image.pixel(x, y)) != 0) {
                return false;
            }
        }
    }
    return true;
}

// The smallest rectangle holding every visible pixel of an image.
QRect opaqueBounds(const QImage& image) {
    QRect bounds;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (qAlpha(image.pixel(x, y)) != 0) {
                bounds |= QRect(x, y, 1, 1);
            }
        }
    }
    return bounds;
}

class ShippedPet : public testing::TestWithParam<std::string> {
protected:
    QDir folder() const { return QDir(petsDir().filePath(QString::fromStdString(GetParam()))); }

    QImage sheet() const {
        const QString path =
            folder().filePath(readDescriptor(folder())["spritesheetPath"].toString());
        return QImage(path).convertToFormat(QImage::Format_ARGB32);
    }
};

} // namespace

TEST(ShippedPets, AtLeastTwoWithDistinctIds) {
    const std::vector<std::string> folders = shippedPetFolders();
    EXPECT_GE(folders.size(), 2u);
    QSet<QString> ids;
    for (const std::string& name : folders) {
        ids.insert(readDescriptor(QDir(petsDir().filePath(QString::fromStdString(name))))["id"]
                       .toString());
    }
    EXPECT_EQ(ids.size(), static_cast<qsizetype>(folders.size()));
}

TEST_P(ShippedPet, DescriptorHasTheRequiredStrings) {
    const QJsonObject descriptor = readDescriptor(folder());
    for (const char* key : {"id", "displayName", "description", "spritesheetPath"}) {
        ASSERT_TRUE(descriptor[key].isString()) << key;
        EXPECT_FALSE(descriptor[key].toString().isEmpty()) << key;
    }
    const QString id = descriptor["id"].toString();
    EXPECT_TRUE(std::all_of(id.begin(), id.end(), [](QChar c) { return c.unicode() < 0x80; }))
        << qPrintable(id);
    EXPECT_TRUE(QFile::exists(folder().filePath(descriptor["spritesheetPath"].toString())));
}

TEST_P(ShippedPet, SheetIsTheFixedGridWithAlpha) {
    const QImage image(folder().filePath(readDescriptor(folder())["spritesheetPath"].toString()));
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.size(),
              QSize(columns * cellWidth, static_cast<int>(frameCounts.size()) * cellHeight));
    EXPECT_TRUE(image.hasAlphaChannel());
}

// Readers measure a sheet in its declared resolution; at 72 dpi a unit is a pixel.
TEST_P(ShippedPet, SheetDeclaresOnePixelPerUnit) {
    QFile file(folder().filePath(readDescriptor(folder())["spritesheetPath"].toString()));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray png = file.readAll();
    const qsizetype chunk = png.indexOf("pHYs");
    ASSERT_GT(chunk, 0) << "no resolution chunk";
    const auto perMeter = qFromBigEndian<quint32>(png.constData() + chunk + 4);
    EXPECT_NEAR(perMeter * 0.0254, 72.0, 0.05);
}

// The app plays exactly frameCounts[row] cells of a row; a blank cell inside the count would make
// the pet vanish for a frame, and a drawing past it would never be seen.
TEST_P(ShippedPet, EveryRowFillsExactlyItsFrames) {
    const QImage image = sheet();
    for (int row = 0; row < static_cast<int>(frameCounts.size()); ++row) {
        for (int column = 0; column < columns; ++column) {
            EXPECT_EQ(isBlank(cell(image, row, column)), column >= frameCounts[row])
                << "row " << row << " column " << column;
        }
    }
}

TEST_P(ShippedPet, ConsecutiveFramesDiffer) {
    const QImage image = sheet();
    for (int row = 0; row < static_cast<int>(frameCounts.size()); ++row) {
        for (int column = 1; column < frameCounts[row]; ++column) {
            EXPECT_NE(cell(image, row, column - 1), cell(image, row, column))
                << "row " << row << " frames " << column - 1 << " and " << column;
        }
    }
}

// Anything on a cell's border would be cut off by the cell next to it or by the window edge.
TEST_P(ShippedPet, DrawingsKeepClearOfCellEdges) {
    const QImage image = sheet();
    for (int row = 0; row < static_cast<int>(frameCounts.size()); ++row) {
        for (int column = 0; column < frameCounts[row]; ++column) {
            const QImage frame = cell(image, row, column);
            for (int x = 0; x < cellWidth; ++x) {
                ASSERT_EQ(qAlpha(frame.pixel(x, 0)), 0) << "row " << row << " column " << column;
                ASSERT_EQ(qAlpha(frame.pixel(x, cellHeight - 1)), 0)
                    << "row " << row << " column " << column;
            }
            for (int y = 0; y < cellHeight; ++y) {
                ASSERT_EQ(qAlpha(frame.pixel(0, y)), 0) << "row " << row << " column " << column;
                ASSERT_EQ(qAlpha(frame.pixel(cellWidth - 1, y)), 0)
                    << "row " << row << " column " << column;
            }
        }
    }
}

// Smoothing or a scale other than whole art pixels would blur the pixel art: every 4 × 4 block
// holds one colour, and the whole sheet makes do with a small palette.
TEST_P(ShippedPet, IsCrispPixelArtWithASmallPalette) {
    const QImage image = sheet();
    QSet<QRgb> palette;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb pixel = image.pixel(x, y);
            ASSERT_EQ(pixel, image.pixel(x - x % artScale, y - y % artScale)) << x << "," << y;
            if (qAlpha(pixel) != 0) {
                palette.insert(pixel);
            }
        }
    }
    EXPECT_LE(palette.size(), 40);
}

// The bubble sits above the cell, so the pet stands at the bottom; it should be big enough to
// read on the desktop without crowding its cell.
TEST_P(ShippedPet, StandsOnTheBottomAndFillsMostOfTheWidth) {
    const QRect bounds = opaqueBounds(cell(sheet(), 0, 0));
    EXPECT_GE(bounds.width(), cellWidth * 55 / 100);
    EXPECT_LE(bounds.width(), cellWidth * 85 / 100);
    EXPECT_GE(bounds.bottom(), cellHeight * 9 / 10);
}

// Running left must face left: frame by frame it is the running-right row mirrored.
TEST_P(ShippedPet, RunsLeftAsTheMirrorOfRunningRight) {
    const QImage image = sheet();
    for (int column = 0; column < frameCounts[1]; ++column) {
        EXPECT_EQ(cell(image, 2, column), cell(image, 1, column).mirrored(true, false))
            << "frame " << column;
    }
}

INSTANTIATE_TEST_SUITE_P(Resources, ShippedPet, testing::ValuesIn(shippedPetFolders()),
                         [](const testing::TestParamInfo<std::string>& info) {
                             return info.param;
                         });

#ifdef MOFLI_PETGEN
// The art is generated: committed files that differ from what the generator draws are stale.
TEST(ShippedPets, MatchWhatTheGeneratorDraws) {
    QTemporaryDir output;
    ASSERT_TRUE(output.isValid());
    ASSERT_EQ(QProcess::execute(MOFLI_PETGEN, {output.path()}), 0);

    const QDir generatedPets(QDir(output.path()).filePath("pets"));
    const QStringList generated =
        generatedPets.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    EXPECT_EQ(generated, petsDir().entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name));
    for (const QString& name : generated) {
        const QDir fresh(generatedPets.filePath(name));
        const QDir shipped(petsDir().filePath(name));
        EXPECT_EQ(readDescriptor(fresh), readDescriptor(shipped)) << qPrintable(name);
        EXPECT_EQ(QImage(fresh.filePath("spritesheet.png")),
                  QImage(shipped.filePath("spritesheet.png")))
            << qPrintable(name);
    }
    EXPECT_EQ(QImage(QDir(output.path()).filePath("menubar-icon.png")),
              QImage(QDir(MOFLI_RESOURCES_DIR).filePath("menubar-icon.png")));
    for (const char* size : {"64x64", "128x128", "256x256", "512x512"}) {
        const QString icon = QStringLiteral("linux/icons/hicolor/%1/apps/app.mofli.Mofli.png")
                                 .arg(QLatin1String(size));
        const QImage shipped(QDir(MOFLI_RESOURCES_DIR).filePath(icon));
        EXPECT_FALSE(shipped.isNull()) << size;
        EXPECT_EQ(QImage(QDir(output.path()).filePath(icon)), shipped) << size;
    }
}
#endif

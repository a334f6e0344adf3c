#include <QDir>
#include <QImage>
#include <gtest/gtest.h>

// The tray shows the icon as a template: only its alpha matters, so it must be black on clear.
TEST(TrayIcon, IsABlackSilhouetteOnTransparent) {
    const QImage icon(QDir(MOFLI_RESOURCES_DIR).filePath("menubar-icon.png"));
    ASSERT_FALSE(icon.isNull());
    EXPECT_EQ(icon.size(), QSize(36, 36));
    ASSERT_TRUE(icon.hasAlphaChannel());

    const QImage pixels = icon.convertToFormat(QImage::Format_ARGB32);
    int opaque = 0;
    int clear = 0;
    for (int y = 0; y < pixels.height(); ++y) {
        for (int x = 0; x < pixels.width(); ++x) {
            const QRgb pixel = pixels.pixel(x, y);
            if (qAlpha(pixel) == 0) {
                ++clear;
                continue;
            }
            ++opaque;
            EXPECT_EQ(qRed(pixel) | qGreen(pixel) | qBlue(pixel), 0) << "at " << x << "," << y;
        }
    }
    // A silhouette that reads at 18 points covers a fair part of the icon, not all of it.
    EXPECT_GT(opaque, 36 * 36 / 4);
    EXPECT_GT(clear, 36 * 36 / 4);
}

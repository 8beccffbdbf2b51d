#include <gtest/gtest.h>

#include <QImage>
#include <QSet>

#include "app/dialogs/app_icon.h"

namespace {

QSet<QRgb> Colours(const QImage& image) {
  QSet<QRgb> colours;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) colours.insert(image.pixel(x, y));
  }
  return colours;
}

TEST(AppIcon, IsA32By32LinePictureInAtMost16Colours) {
  const QImage image = AppIconPixmap().toImage();
  ASSERT_EQ(image.size(), QSize(32, 32));
  const QSet<QRgb> colours = Colours(image);
  EXPECT_LE(colours.size(), 16);
  // White lines on a black ground, like the field.
  EXPECT_TRUE(colours.contains(qRgb(0, 0, 0)));
  EXPECT_TRUE(colours.contains(qRgb(255, 255, 255)));
  EXPECT_EQ(image.pixel(0, 0), qRgb(0, 0, 0));
  EXPECT_TRUE(AppIcon().availableSizes().contains(QSize(32, 32)));
}

TEST(AppIcon, InstalledPngIsTheSamePicture) {
  const QImage png(QStringLiteral(KAVARIN_ICON_PNG));
  ASSERT_FALSE(png.isNull()) << KAVARIN_ICON_PNG;
  const QImage built_in = AppIconPixmap().toImage();
  EXPECT_EQ(png.convertToFormat(QImage::Format_RGB32),
            built_in.convertToFormat(QImage::Format_RGB32));
}

TEST(AppIcon, ThemeSizesAreWholeEnlargementsOrACarefulHalf) {
  const QImage picture = AppIconPixmap().toImage().convertToFormat(QImage::Format_RGB32);
  const QSet<QRgb> greys = {qRgb(0, 0, 0), qRgb(85, 85, 85), qRgb(170, 170, 170),
                            qRgb(255, 255, 255)};
  for (const int size : {16, 32, 48, 64, 128, 256}) {
    SCOPED_TRACE(size);
    const QImage png = QImage(QStringLiteral(KAVARIN_ICON_DIR "/%1x%1/kavarin.png").arg(size))
                           .convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(png.size(), QSize(size, size));
    int wrong = 0;
    if (size >= 32) {
      // Each picture pixel a whole square, centred on black.
      const int k = size / 32, margin = (size - 32 * k) / 2;
      for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
          const int px = (x - margin) / k, py = (y - margin) / k;
          const bool inside = x >= margin && y >= margin && px < 32 && py < 32;
          wrong += png.pixel(x, y) != (inside ? picture.pixel(px, py) : qRgb(0, 0, 0));
        }
      }
    } else {
      // Every 2 x 2 block with white in it shows, every black one stays black.
      for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
          bool white = false, black = true;
          for (int d = 0; d < 4; ++d) {
            const QRgb p = picture.pixel(2 * x + d % 2, 2 * y + d / 2);
            white = white || p == qRgb(255, 255, 255);
            black = black && p == qRgb(0, 0, 0);
          }
          const QRgb got = png.pixel(x, y);
          wrong += !greys.contains(got) || (white && got == qRgb(0, 0, 0)) ||
                   (black && got != qRgb(0, 0, 0));
        }
      }
    }
    EXPECT_EQ(wrong, 0);
  }
}

}  // namespace

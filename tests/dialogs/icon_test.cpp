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

}  // namespace

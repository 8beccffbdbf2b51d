// Writes the game icon as a PNG for the desktop icon theme: icon_png_tool SIZE OUT.png
//
// From 32 up each pixel of the 32 x 32 picture becomes a square of the largest whole size that
// fits, centred on the picture's black ground (48 shows the picture at 32 with a black margin:
// one and a half times would make some lines one pixel wide and others two). At 16 each 2 x 2
// block becomes one pixel twice as bright as the block's mean, on the picture's own four
// greys: a one-pixel line through the block stays white, a stray corner pixel turns grey, and
// no line is lost as it would be by dropping pixels.
#include <QImage>
#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "app/dialogs/kavarin.xpm"

namespace {

constexpr int PictureSize = 32;

QImage Enlarged(const QImage& picture, int size) {
  const int factor = size / PictureSize;
  const int margin = (size - factor * PictureSize) / 2;
  QImage out(size, size, QImage::Format_RGB32);
  out.fill(Qt::black);
  for (int y = 0; y < factor * PictureSize; ++y)
    for (int x = 0; x < factor * PictureSize; ++x)
      out.setPixel(margin + x, margin + y, picture.pixel(x / factor, y / factor));
  return out;
}

QImage Halved(const QImage& picture) {
  QImage out(picture.width() / 2, picture.height() / 2, QImage::Format_RGB32);
  for (int y = 0; y < out.height(); ++y) {
    for (int x = 0; x < out.width(); ++x) {
      int sum = 0;
      for (int dy = 0; dy < 2; ++dy)
        for (int dx = 0; dx < 2; ++dx) sum += qGray(picture.pixel(2 * x + dx, 2 * y + dy));
      const int bright = std::min(255, sum / 2);
      const int grey = (bright + 42) / 85 * 85;  // nearest of 0, 85, 170, 255
      out.setPixel(x, y, qRgb(grey, grey, grey));
    }
  }
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  const int size = argc == 3 ? std::atoi(argv[1]) : 0;
  if (size != PictureSize / 2 && (size < PictureSize || size > 1024)) {
    std::fprintf(stderr, "usage: %s SIZE OUT.png (SIZE 16, or 32 to 1024)\n", argv[0]);
    return 2;
  }
  const QImage picture = QImage(kavarin_xpm).convertToFormat(QImage::Format_RGB32);
  const QImage icon = size < PictureSize ? Halved(picture) : Enlarged(picture, size);
  if (picture.isNull() || !icon.save(QString::fromLocal8Bit(argv[2]), "PNG")) {
    std::fprintf(stderr, "%s: could not write the icon to %s\n", argv[0], argv[2]);
    return 1;
  }
  return 0;
}

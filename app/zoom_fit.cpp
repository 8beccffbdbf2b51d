#include "app/zoom_fit.h"

namespace kavarin {
namespace {

using zoom_rule::PixelSize;

PixelSize Plain(QSize size) {
  return {size.width(), size.height()};
}

}  // namespace

int SmallestZoom(qreal ratio) {
  return zoom_rule::SmallestZoom(ratio);
}

QSize ShownSize(QSize fieldPixels, int zoom, qreal ratio) {
  const PixelSize shown = zoom_rule::ShownSize(Plain(fieldPixels), zoom, ratio);
  return {shown.width, shown.height};
}

int LargestFittingZoom(QSize room, QSize chrome, qreal ratio) {
  return zoom_rule::LargestFittingZoom(Plain(room), Plain(chrome), ratio);
}

int FullScreenZoom(QSize screen, qreal ratio) {
  return zoom_rule::FullScreenZoom(Plain(screen), ratio);
}

}  // namespace kavarin

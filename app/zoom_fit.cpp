#include "app/zoom_fit.h"

#include <algorithm>
#include <cmath>

#include "render/drawing_surface.h"

namespace kavarin {
namespace {

// Device pixel ratios are given as floating point; 2 may arrive as 1.9999999.
constexpr qreal Slack = 1e-6;

bool Fractional(qreal ratio) {
  return std::abs(ratio - std::round(ratio)) > Slack;
}

int LogicalCeil(qreal devicePixels, qreal ratio) {
  return static_cast<int>(std::ceil(devicePixels / ratio - Slack));
}

}  // namespace

int SmallestZoom(qreal ratio) {
  return std::max(1, static_cast<int>(std::ceil(ratio - Slack)));
}

QSize ShownSize(QSize fieldPixels, int zoom, qreal ratio) {
  const int spare = Fractional(ratio) ? 1 : 0;
  return {LogicalCeil(fieldPixels.width() * zoom + spare, ratio),
          LogicalCeil(fieldPixels.height() * zoom + spare, ratio)};
}

int LargestFittingZoom(QSize room, QSize chrome, qreal ratio) {
  const int smallest = SmallestZoom(ratio);
  int zoom = smallest;
  for (;;) {
    const QSize window = ShownSize({FieldWidth, FieldHeight}, zoom + 1, ratio) + chrome;
    if (window.width() > room.width() || window.height() > room.height()) break;
    ++zoom;
  }
  return zoom;
}

int FullScreenZoom(QSize screen, qreal ratio) {
  const auto across = static_cast<int>(std::floor(screen.width() * ratio + Slack)) / FieldWidth;
  const auto down = static_cast<int>(std::floor(screen.height() * ratio + Slack)) / FieldHeight;
  return std::max(1, std::min(across, down));
}

}  // namespace kavarin

#include "app/zoom_rule.h"

#include <algorithm>
#include <cmath>

#include "render/drawing_surface.h"

namespace kavarin::zoom_rule {
namespace {

// Device pixel ratios are given as floating point; 2 may arrive as 1.9999999.
constexpr double Slack = 1e-6;

bool Fractional(double ratio) {
  return std::abs(ratio - std::round(ratio)) > Slack;
}

int LogicalCeil(double devicePixels, double ratio) {
  return static_cast<int>(std::ceil(devicePixels / ratio - Slack));
}

}  // namespace

int SmallestZoom(double ratio) {
  return std::max(1, static_cast<int>(std::ceil(ratio - Slack)));
}

PixelSize ShownSize(PixelSize fieldPixels, int zoom, double ratio) {
  const int spare = Fractional(ratio) ? 1 : 0;
  return {LogicalCeil(fieldPixels.width * zoom + spare, ratio),
          LogicalCeil(fieldPixels.height * zoom + spare, ratio)};
}

int LargestFittingZoom(PixelSize room, PixelSize chrome, double ratio) {
  int zoom = SmallestZoom(ratio);
  for (;;) {
    const PixelSize shown = ShownSize({FieldWidth, FieldHeight}, zoom + 1, ratio);
    if (shown.width + chrome.width > room.width || shown.height + chrome.height > room.height)
      break;
    ++zoom;
  }
  return zoom;
}

int FullScreenZoom(PixelSize screen, double ratio) {
  const auto across = static_cast<int>(std::floor(screen.width * ratio + Slack)) / FieldWidth;
  const auto down = static_cast<int>(std::floor(screen.height * ratio + Slack)) / FieldHeight;
  return std::max(1, std::min(across, down));
}

}  // namespace kavarin::zoom_rule

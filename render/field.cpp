#include "render/field.h"

#include <cstdlib>

namespace kavarin {

Field::Field() {
  pixels_.fill(BlackPixel);
}

void Field::ClearField() {
  pen_ = Color::Black;
  pixels_.fill(BlackPixel);
}

void Field::Polyline(std::span<const Point> points) {
  if (points.size() < 2) return;
  const uint8_t value = pen_ == Color::White ? WhitePixel : BlackPixel;
  for (size_t i = 1; i < points.size(); ++i) Segment(points[i - 1], points[i], value);
}

// Bresenham along the major axis. The start pixel is painted and the end pixel is not, so the
// segments of a polyline never paint a joint twice and a closed outline ends where it began.
// The pixels depend only on the two end points, so drawing a line again in black removes exactly
// what it painted. Pixels outside the field are skipped one by one, which keeps the visible part
// of a clipped line identical to the same line drawn unclipped.
void Field::Segment(Point from, Point to, uint8_t value) {
  // Both ends beyond the same edge: nothing of it can be on the field.
  if ((from.x < 0 && to.x < 0) || (from.y < 0 && to.y < 0) ||
      (from.x >= FieldWidth && to.x >= FieldWidth) ||
      (from.y >= FieldHeight && to.y >= FieldHeight)) {
    return;
  }
  const int64_t dx = std::llabs(int64_t{to.x} - from.x);
  const int64_t dy = std::llabs(int64_t{to.y} - from.y);
  const int64_t sx = from.x < to.x ? 1 : -1;
  const int64_t sy = from.y < to.y ? 1 : -1;
  int64_t x = from.x;
  int64_t y = from.y;
  auto plot = [&](int64_t px, int64_t py) {
    if (px >= 0 && px < FieldWidth && py >= 0 && py < FieldHeight) {
      pixels_[static_cast<size_t>(py * FieldWidth + px)] = value;
    }
  };
  if (dx >= dy) {
    int64_t err = 2 * dy - dx;
    for (int64_t i = 0; i < dx; ++i) {
      plot(x, y);
      if (err > 0) {
        y += sy;
        err -= 2 * dx;
      }
      err += 2 * dy;
      x += sx;
    }
  } else {
    int64_t err = 2 * dx - dy;
    for (int64_t i = 0; i < dy; ++i) {
      plot(x, y);
      if (err > 0) {
        x += sx;
        err -= 2 * dy;
      }
      err += 2 * dx;
      y += sy;
    }
  }
}

}  // namespace kavarin

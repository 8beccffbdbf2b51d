#include "render/field.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

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

// Bresenham along the major axis. The start pixel is painted and the end pixel not, so the
// segments of a polyline never paint a joint twice and a closed outline ends where it began.
// The pixels depend only on the two end points, so drawing a line again in black removes exactly
// what it painted. A line that reaches beyond the field paints exactly the pixels of the same line
// drawn unclipped that lie on the field.
//
// Step k of a segment with n major steps and d minor steps (d <= n) paints the pixel k along the
// major axis and m(k) = floor((2dk + n - 1) / 2n) along the minor axis: the closed form of the
// error-term walk below. Clipping uses it to find the steps that fall on the field.
void Field::Segment(Point from, Point to, uint8_t value) {
  auto onField = [](Point p) {
    return static_cast<uint32_t>(p.x) < static_cast<uint32_t>(FieldWidth) &&
           static_cast<uint32_t>(p.y) < static_cast<uint32_t>(FieldHeight);
  };
  // Nearly every line the game draws lies on the field: walk all of it with no tests.
  if (onField(from) && onField(to)) {
    const int32_t dx = std::abs(to.x - from.x);
    const int32_t dy = std::abs(to.y - from.y);
    const int32_t stepX = from.x < to.x ? 1 : -1;
    const int32_t stepY = from.y < to.y ? FieldWidth : -FieldWidth;
    const int32_t at = from.y * FieldWidth + from.x;
    if (dx >= dy)
      Walk(at, dx, 2 * dy - dx, dx, dy, stepX, stepY, value);
    else
      Walk(at, dy, 2 * dx - dy, dy, dx, stepY, stepX, value);
    return;
  }
  // Both ends beyond the same edge: nothing of it can be on the field.
  if ((from.x < 0 && to.x < 0) || (from.y < 0 && to.y < 0) ||
      (from.x >= FieldWidth && to.x >= FieldWidth) ||
      (from.y >= FieldHeight && to.y >= FieldHeight)) {
    return;
  }
  const int64_t dx = std::llabs(int64_t{to.x} - from.x);
  const int64_t dy = std::llabs(int64_t{to.y} - from.y);
  const bool xMajor = dx >= dy;
  const int64_t n = xMajor ? dx : dy;
  const int64_t d = xMajor ? dy : dx;
  const int64_t stepX = from.x < to.x ? 1 : -1;
  const int64_t stepY = from.y < to.y ? 1 : -1;
  if (n == 0) return;

  // The steps [first, last) whose pixels are on the field. Both coordinates move monotonically
  // with k, so these form one run.
  const int64_t major0 = xMajor ? from.x : from.y;
  const int64_t minor0 = xMajor ? from.y : from.x;
  const int64_t majorStep = xMajor ? stepX : stepY;
  const int64_t minorStep = xMajor ? stepY : stepX;
  const int64_t majorSize = xMajor ? FieldWidth : FieldHeight;
  const int64_t minorSize = xMajor ? FieldHeight : FieldWidth;
  auto minorSteps = [n, d](int64_t k) {
    return static_cast<int64_t>((__int128{2} * d * k + n - 1) / (__int128{2} * n));
  };
  int64_t first = 0;
  int64_t last = n;
  if (majorStep > 0) {
    first = std::max(first, -major0);
    last = std::min(last, majorSize - major0);
  } else {
    first = std::max(first, major0 - (majorSize - 1));
    last = std::min(last, major0 + 1);
  }
  // The first step in [lo, hi) for which `reached` holds; it holds for every later step too.
  auto firstReached = [](int64_t lo, int64_t hi, auto reached) {
    while (lo < hi) {
      const int64_t mid = lo + (hi - lo) / 2;
      if (reached(mid))
        hi = mid;
      else
        lo = mid + 1;
    }
    return lo;
  };
  first = firstReached(first, last, [&](int64_t k) {
    const int64_t minor = minor0 + minorStep * minorSteps(k);
    return minorStep > 0 ? minor >= 0 : minor < minorSize;
  });
  last = firstReached(first, last, [&](int64_t k) {
    const int64_t minor = minor0 + minorStep * minorSteps(k);
    return minorStep > 0 ? minor >= minorSize : minor < 0;
  });
  if (first >= last) return;

  const int64_t m = minorSteps(first);
  const int64_t major = major0 + majorStep * first;
  const int64_t minor = minor0 + minorStep * m;
  const int64_t x = xMajor ? major : minor;
  const int64_t y = xMajor ? minor : major;
  // The error term is small, but its parts overflow 64 bits for lines spanning the whole range.
  const auto err =
      static_cast<int64_t>(__int128{2} * d - n + __int128{2} * d * first - __int128{2} * n * m);
  Walk(y * FieldWidth + x, last - first, err, n, d, xMajor ? stepX : stepY * FieldWidth,
       xMajor ? stepY * FieldWidth : stepX, value);
}

// Paints `count` pixels from index `at`, stepping `major` every time and `minor` whenever the
// error term is positive. Every pixel it reaches is on the field.
void Field::Walk(int64_t at, int64_t count, int64_t err, int64_t n, int64_t d, int64_t major,
                 int64_t minor, uint8_t value) {
  uint8_t* p = pixels_.data() + at;
  if (d == 0 && (major == 1 || major == -1)) {  // level: one run of bytes
    std::memset(major > 0 ? p : p - count + 1, value, static_cast<size_t>(count));
    return;
  }
  for (int64_t i = 0; i < count; ++i) {
    *p = value;
    if (err > 0) {
      p += minor;
      err -= 2 * n;
    }
    err += 2 * d;
    p += major;
  }
}

}  // namespace kavarin

// The field's line drawing is tuned for speed; here it is held, on a couple of hundred thousand random segments,
// to the plain textbook form of the same rule: Bresenham along the major axis, the start pixel
// painted and the end pixel not, pixels off the field skipped one by one.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstdlib>
#include <random>
#include <vector>

#include "render/field.h"

namespace kavarin {
namespace {

using Pixels = std::vector<uint8_t>;

void PlainSegment(Pixels& px, Point from, Point to, uint8_t value) {
  const int64_t dx = std::llabs(int64_t{to.x} - from.x);
  const int64_t dy = std::llabs(int64_t{to.y} - from.y);
  const int64_t sx = from.x < to.x ? 1 : -1;
  const int64_t sy = from.y < to.y ? 1 : -1;
  int64_t x = from.x;
  int64_t y = from.y;
  const bool xMajor = dx >= dy;
  const int64_t n = xMajor ? dx : dy;
  const int64_t d = xMajor ? dy : dx;
  int64_t err = 2 * d - n;
  for (int64_t i = 0; i < n; ++i) {
    if (x >= 0 && x < FieldWidth && y >= 0 && y < FieldHeight)
      px[static_cast<size_t>(y * FieldWidth + x)] = value;
    if (err > 0) {
      (xMajor ? y : x) += xMajor ? sy : sx;
      err -= 2 * n;
    }
    err += 2 * d;
    (xMajor ? x : y) += xMajor ? sx : sy;
  }
}

// Random points: mostly on the field, some just beyond an edge, a few far away.
Point RandomPoint(std::mt19937& rng) {
  const int kind = std::uniform_int_distribution<int>(0, 9)(rng);
  auto in = [&](int lo, int hi) { return std::uniform_int_distribution<int32_t>(lo, hi)(rng); };
  if (kind < 6) return {in(0, FieldWidth - 1), in(0, FieldHeight - 1)};
  if (kind < 9) return {in(-80, FieldWidth + 80), in(-80, FieldHeight + 80)};
  return {in(-3000, 3000), in(-3000, 3000)};
}

TEST(RasterSoak, FieldDrawsExactlyThePlainBresenhamPixels) {
  std::mt19937 rng(20240611);
  Field field;
  Pixels expected(FieldWidth * FieldHeight, Field::BlackPixel);
  for (int round = 0; round < 1000; ++round) {
    // A burst of polylines in one colour, then the field compared whole.
    const bool white = round % 3 != 2;
    field.SetPenColor(white ? Color::White : Color::Black);
    const uint8_t value = white ? Field::WhitePixel : Field::BlackPixel;
    for (int line = 0; line < 50; ++line) {
      std::array<Point, 9> points;
      const size_t count = std::uniform_int_distribution<size_t>(2, points.size())(rng);
      for (size_t i = 0; i < count; ++i) points[i] = RandomPoint(rng);
      // Short segments matter most: every beam, ship and wreck line is one.
      if (line % 2 == 0)
        for (size_t i = 1; i < count; ++i)
          points[i] = {points[i - 1].x + std::uniform_int_distribution<int32_t>(-12, 12)(rng),
                       points[i - 1].y + std::uniform_int_distribution<int32_t>(-12, 12)(rng)};
      field.Polyline(std::span<const Point>(points.data(), count));
      for (size_t i = 1; i < count; ++i) PlainSegment(expected, points[i - 1], points[i], value);
    }
    const uint8_t* got = field.Pixels();
    for (size_t i = 0; i < expected.size(); ++i) {
      ASSERT_EQ(got[i], expected[i])
          << "round " << round << ", pixel (" << i % FieldWidth << ", " << i / FieldWidth << ")";
    }
  }
}

}  // namespace
}  // namespace kavarin

#include <gtest/gtest.h>

#include <array>
#include <cstdint>

#include "render/field.h"

namespace kavarin {
namespace {

int CountWhite(const Field& field) {
  int n = 0;
  for (int32_t y = 0; y < FieldHeight; ++y)
    for (int32_t x = 0; x < FieldWidth; ++x) n += field.IsWhite(x, y);
  return n;
}

TEST(Field, SegmentPaintsItsStartAndNotItsEnd) {
  Field field;
  field.SetPenColor(Color::White);
  const std::array<Point, 2> line = {{{10, 10}, {20, 14}}};
  field.Polyline(line);
  EXPECT_TRUE(field.IsWhite(10, 10));
  EXPECT_FALSE(field.IsWhite(20, 14));
  EXPECT_EQ(CountWhite(field), 10);  // one pixel per step along the major axis
}

TEST(Field, BlackRedrawErasesExactly) {
  Field field;
  field.SetPenColor(Color::White);
  const std::array<Point, 9> outline = {{{200, 356},
                                         {347, 283},
                                         {406, 150},
                                         {333, 3},
                                         {200, -56},
                                         {53, 17},
                                         {-6, 150},
                                         {67, 297},
                                         {200, 356}}};
  field.Polyline(outline);
  EXPECT_GT(CountWhite(field), 500);
  field.SetPenColor(Color::Black);
  field.Polyline(outline);
  EXPECT_EQ(CountWhite(field), 0);
}

TEST(Field, ClearBlackensEveryPixelAndLeavesTheBlackPen) {
  Field field;
  field.SetPenColor(Color::White);
  const std::array<Point, 3> corner = {{{399, 0}, {399, 299}, {0, 299}}};
  field.Polyline(corner);
  const std::array<Point, 2> last = {{{0, 299}, {-1, 299}}};
  field.Polyline(last);
  EXPECT_TRUE(field.IsWhite(399, 299));
  EXPECT_TRUE(field.IsWhite(0, 299));
  field.ClearField();
  EXPECT_EQ(CountWhite(field), 0);
  EXPECT_EQ(field.PenColor(), Color::Black);
}

TEST(Field, LinesAcrossTheWholeCoordinateRangeClipToTheirVisiblePart) {
  Field field;
  field.SetPenColor(Color::White);
  constexpr int32_t Lo = INT32_MIN;
  constexpr int32_t Hi = INT32_MAX;
  const std::array<Point, 2> diagonal = {{{Lo, Lo}, {Hi, Hi}}};
  field.Polyline(diagonal);
  EXPECT_EQ(CountWhite(field), 300);  // exactly (k, k) for every row of the field
  for (int32_t k = 0; k < FieldHeight; ++k) EXPECT_TRUE(field.IsWhite(k, k)) << k;
  field.ClearField();
  field.SetPenColor(Color::White);
  const std::array<Point, 2> across = {{{Lo, 150}, {Hi, 150}}};
  field.Polyline(across);
  EXPECT_EQ(CountWhite(field), FieldWidth);
}

}  // namespace
}  // namespace kavarin

#include <gtest/gtest.h>

#include <array>

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

}  // namespace
}  // namespace kavarin

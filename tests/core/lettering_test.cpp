#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <string>
#include <vector>

#include "recorder.h"
#include "render/lettering.h"

namespace kavarin {
namespace {

using ::testing::ElementsAre;

// Lettering draws with whatever pen the caller set; white here, so the lines read FFFFFF.
struct Pen {
  Rig rig;
  Pen(int32_t x, int32_t y) {
    rig.match.surface.SetPenColor(Color::White);
    rig.log.Clear();
    rig.s.PenX = x;
    rig.s.PenY = y;
  }
  // Lettering gives back where the pen ends; the game keeps it in the record, and so do we.
  void Digit(int32_t value) { Keep(DrawDigit(rig.match.surface, {rig.s.PenX, rig.s.PenY}, value)); }
  void Legend() { Keep(DrawLegend(rig.match.surface, {rig.s.PenX, rig.s.PenY})); }
  void Keep(Point p) {
    rig.s.PenX = p.x;
    rig.s.PenY = p.y;
  }
};

TEST(Lettering, DigitsAreSingleStrokesAtThePenOrigin) {
  struct Case {
    int32_t value, x, y;
    const char* line;
  };
  const Case cases[] = {
      {2, 268, 50, "polyline FFFFFF 268,58 268,50 300,50 300,66 268,74 268,82 300,82"},
      {1, 100, 50, "polyline FFFFFF 108,50 116,50 116,82 108,82 124,82"},
      {0, 268, 50, "polyline FFFFFF 268,50 300,50 300,82 268,82 268,50"},
      {3, 100, 50, "polyline FFFFFF 100,50 132,50 132,66 100,66 132,66 132,82 100,82"},
      {3, -10, 290, "polyline FFFFFF -10,290 22,290 22,306 -10,306 22,306 22,322 -10,322"},
  };
  for (const Case& c : cases) {
    Pen pen(c.x, c.y);
    pen.Digit(c.value);
    EXPECT_THAT(pen.rig.log.lines, ElementsAre(c.line)) << "no pen change, one polyline";
    EXPECT_EQ(pen.rig.s.PenX, c.x);
    EXPECT_EQ(pen.rig.s.PenY, c.y);
  }
}

TEST(Lettering, ValuesWithoutAGlyphDrawNothing) {
  for (int32_t value : {4, 5, 9, 10, -1, INT_MIN, INT_MAX}) {
    Pen pen(100, 50);
    pen.Digit(value);
    EXPECT_TRUE(pen.rig.log.lines.empty()) << value;
  }
}

TEST(Lettering, LegendSpellsGameOverFromItsOrigin) {
  Pen pen(132, 250);
  pen.Legend();
  const std::vector<std::string>& lines = pen.rig.log.lines;
  ASSERT_EQ(lines.size(), 9u) << "eight letters, the A in two strokes, and no pen change";
  EXPECT_EQ(lines[0], "polyline FFFFFF 144,250 132,250 132,266 144,266 144,258 140,258");
  EXPECT_EQ(lines[1], "polyline FFFFFF 148,266 154,250 160,266");
  EXPECT_EQ(lines[2], "polyline FFFFFF 152,258 156,258");
  EXPECT_EQ(lines[3], "polyline FFFFFF 164,266 164,250 170,258 176,250 176,266");
  EXPECT_EQ(lines[4], "polyline FFFFFF 192,250 180,250 180,258 192,258 180,258 180,266 192,266");
  EXPECT_EQ(lines[5], "polyline FFFFFF 212,250 224,250 224,266 212,266 212,250");
  EXPECT_EQ(lines[6], "polyline FFFFFF 228,250 234,266 240,250");
  EXPECT_EQ(lines[7], "polyline FFFFFF 256,250 244,250 244,258 256,258 244,258 244,266 256,266");
  EXPECT_EQ(lines[8], "polyline FFFFFF 260,266 260,250 272,250 272,258 260,258 273,267");
  EXPECT_EQ(pen.rig.s.PenX, 260);
  EXPECT_EQ(pen.rig.s.PenY, 250);

  int32_t minX = INT_MAX, maxX = INT_MIN, minY = INT_MAX, maxY = INT_MIN;
  for (const DrawnPolyline& d : pen.rig.recorder.drawn) {
    for (const Point& p : d.points) {
      minX = std::min(minX, p.x);
      maxX = std::max(maxX, p.x);
      minY = std::min(minY, p.y);
      maxY = std::max(maxY, p.y);
    }
  }
  EXPECT_EQ(minX, 132);
  EXPECT_EQ(maxX, 273);
  EXPECT_EQ(minY, 250);
  EXPECT_EQ(maxY, 267);
}

TEST(Lettering, LegendMovesOnlyThePenX) {
  Pen pen(-40, 7);
  pen.Legend();
  EXPECT_EQ(pen.rig.s.PenX, -40 + 128);
  EXPECT_EQ(pen.rig.s.PenY, 7);
  EXPECT_EQ(pen.rig.recorder.drawn.front().points.front(), (Point{-28, 7}));
  EXPECT_EQ(pen.rig.recorder.drawn.back().points.back(), (Point{-40 + 128 + 13, 7 + 17}));
}

TEST(Lettering, StrokesEndWithoutPaintingTheirLastPoint) {
  Pen pen(100, 50);
  pen.Digit(1);
  const Field& f = pen.rig.sim.field;
  EXPECT_TRUE(f.IsWhite(108, 50));
  EXPECT_TRUE(f.IsWhite(116, 81));
  EXPECT_TRUE(f.IsWhite(123, 82));
  EXPECT_FALSE(f.IsWhite(124, 82)) << "the base ends at 124 and that pixel stays black";
}

}  // namespace
}  // namespace kavarin

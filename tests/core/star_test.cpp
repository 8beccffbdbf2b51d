#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "mechanics/star.h"
#include "recorder.h"

namespace kavarin {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

std::vector<Point> Pts(std::initializer_list<Point> p) {
  return p;
}

std::vector<Point> Outline(int32_t index, int32_t num, int32_t den) {
  const StarPolyline o = StarOutline(index, num, den);
  return {o.begin(), o.end()};
}

TEST(Star, OutlineAtIndex1AtCalmSpeckAndBlastScales) {
  EXPECT_THAT(Outline(1, 20, 20), ElementsAreArray(Pts({{200, 209},
                                                        {242, 188},
                                                        {259, 150},
                                                        {238, 108},
                                                        {200, 91},
                                                        {158, 112},
                                                        {141, 150},
                                                        {162, 192},
                                                        {200, 209}})));
  EXPECT_THAT(Outline(1, 20, 200), ElementsAreArray(Pts({{200, 155},
                                                         {204, 153},
                                                         {205, 150},
                                                         {203, 146},
                                                         {200, 145},
                                                         {196, 147},
                                                         {195, 150},
                                                         {197, 154},
                                                         {200, 155}})));
  EXPECT_THAT(Outline(1, 35, 10), ElementsAreArray(Pts({{200, 356},
                                                        {347, 283},
                                                        {406, 150},
                                                        {333, 3},
                                                        {200, -56},
                                                        {53, 17},
                                                        {-6, 150},
                                                        {67, 297},
                                                        {200, 356}})));
}

TEST(Star, OutlinesStayWithinTheirBoundsOverEveryIndex) {
  struct Bounds {
    int32_t num, den, minX, maxX, minY, maxY;
  };
  const Bounds cases[] = {{20, 20, 141, 259, 91, 209}, {35, 10, -6, 406, -56, 356}};
  for (const Bounds& b : cases) {
    int32_t minX = 1000, maxX = -1000, minY = 1000, maxY = -1000;
    for (int32_t i = 1; i <= 8; ++i) {
      const StarPolyline o = StarOutline(i, b.num, b.den);
      EXPECT_EQ(o.front(), o.back()) << "closed";
      for (const Point& p : o) {
        minX = std::min(minX, p.x);
        maxX = std::max(maxX, p.x);
        minY = std::min(minY, p.y);
        maxY = std::max(maxY, p.y);
      }
    }
    EXPECT_EQ(minX, b.minX);
    EXPECT_EQ(maxX, b.maxX);
    EXPECT_EQ(minY, b.minY);
    EXPECT_EQ(maxY, b.maxY);
  }
}

TEST(Star, FiguresTurnOneIndexEveryThreeTicksInOppositeDirections) {
  Rig rig;
  rig.StartMatch();
  std::vector<int32_t> a, b;
  for (int t = 1; t <= 24; ++t) {
    rig.Fire();
    a.push_back(rig.s.SpinA);
    b.push_back(rig.s.SpinB);
  }
  EXPECT_THAT(a,
              ElementsAre(2, 2, 2, 3, 3, 3, 4, 4, 4, 5, 5, 5, 6, 6, 6, 7, 7, 7, 8, 8, 8, 1, 1, 1));
  EXPECT_THAT(b,
              ElementsAre(8, 8, 7, 7, 7, 6, 6, 6, 5, 5, 5, 4, 4, 4, 3, 3, 3, 2, 2, 2, 1, 1, 1, 8));
  EXPECT_EQ(rig.s.SpinClock, 1);
}

// The started match with the ships parked in the edge bands, where the blast spares them and
// their beams miss each other, and Space pressed once the charge allows it. Tick 1 is the next.
void ArmSupernova(Rig& rig) {
  rig.StartMatch();
  rig.s.RightY = 20;
  rig.s.LeftY = 280;
  rig.Fire(80);
  rig.Down(VkSpace);
  ASSERT_EQ(rig.s.StarMode, 2);
}

TEST(Star, SupernovaRunsItsTimeline) {
  Rig rig;
  ArmSupernova(rig);
  std::vector<int> shuku, chou, silentLaunch, heardLaunch;
  for (int t = 1; t <= 380; ++t) {
    if (t == 184 || t == 185 || t == 283 || t == 284) rig.s.LeftBeamState = 1;
    if (t == 100 || t == 250) rig.Down(VkSpace);  // changes nothing while under way
    const EventLog& log = rig.TickLog();
    for (const std::string& cue : log.Cues()) {
      if (cue == "cue shuku") shuku.push_back(t);
      if (cue == "cue chou") chou.push_back(t);
    }
    if (t == 184 || t == 185 || t == 283 || t == 284)
      (log.IndexOf("cue hassha") >= 0 ? heardLaunch : silentLaunch).push_back(t);

    ASSERT_EQ(rig.s.StarANum, rig.s.StarBNum) << "tick " << t;
    ASSERT_EQ(rig.s.StarADen, rig.s.StarBDen) << "tick " << t;
    int32_t num = 20, den = 20, mode = 2;
    if (t <= 180) {
      den = 20 + t;
    } else if (t <= 183) {
      num = 4 << (t - 181);
      den = 10;
    } else if (t <= 282) {
      num = 35;
      den = 10;
    } else {
      mode = 1;
    }
    ASSERT_EQ(rig.s.StarANum, num) << "tick " << t;
    ASSERT_EQ(rig.s.StarADen, den) << "tick " << t;
    ASSERT_EQ(rig.s.StarMode, mode) << "tick " << t;
    if (t >= 185 && t <= 282) {
      ASSERT_EQ(rig.s.StarBAfterglow, t - 183) << "tick " << t;
    }
    if (t == 181) {
      // The numerator 2 is doubled in the tick it is set: the first expansion picture is 4/10.
      auto lastStar = std::find_if(rig.recorder.drawn.rbegin(), rig.recorder.drawn.rend(),
                                   [](const DrawnPolyline& d) { return d.points.size() == 9; });
      ASSERT_NE(lastStar, rig.recorder.drawn.rend());
      EXPECT_EQ(lastStar->pen, Color::White);
      EXPECT_EQ(lastStar->points, Outline(rig.s.SpinB, 4, 10));
    }
    if (t == 283) {
      EXPECT_EQ(rig.s.Charge, 1);
      EXPECT_EQ(rig.s.StarAAfterglow, 1);
      EXPECT_EQ(rig.s.StarBAfterglow, 1);
    }
    if (t == 362) {
      rig.Down(VkSpace);
      EXPECT_EQ(rig.s.StarMode, 1) << "charge 80 after the blast";
    }
  }
  EXPECT_THAT(shuku, ElementsAre(1));
  EXPECT_THAT(chou, ElementsAre(184));
  EXPECT_THAT(heardLaunch, ElementsAre(184, 284));
  EXPECT_THAT(silentLaunch, ElementsAre(185, 283));
  EXPECT_EQ(rig.s.Charge, 98);
  rig.Down(VkSpace);
  EXPECT_EQ(rig.s.StarMode, 2);
  EXPECT_EQ(rig.s.RightDown + rig.s.LeftDown + rig.s.Casualty, 0) << "both ships were spared";
}

TEST(Star, BlastSparesTheEdgeBandsAndStrikesOnTick185) {
  struct Case {
    int32_t right, left;
    bool rightDies, leftDies;
  };
  const Case cases[] = {{40, 260, false, false},
                        {260, 40, false, false},
                        {41, 259, true, true},
                        {259, 1, true, false},
                        {300, 150, false, true}};
  for (const Case& c : cases) {
    Rig rig;
    ArmSupernova(rig);
    rig.s.RightY = c.right;
    rig.s.LeftY = c.left;
    rig.Fire(184);
    EXPECT_EQ(rig.s.RightDown + rig.s.LeftDown, 0) << "not before tick 185";
    rig.log.Clear();
    rig.Fire();
    EXPECT_EQ(rig.s.RightDown, c.rightDies ? 1 : 0) << c.right << "/" << c.left;
    EXPECT_EQ(rig.s.LeftDown, c.leftDies ? 1 : 0) << c.right << "/" << c.left;
    EXPECT_EQ(rig.s.Casualty, c.rightDies ? (c.leftDies ? 3 : 1) : (c.leftDies ? 2 : 0));
    EXPECT_EQ(rig.s.HitMute, 0) << "a blast kill does not mute the launches";
    EXPECT_TRUE(rig.log.Cues().empty()) << "a blast kill is not heard";
    if (!c.rightDies && !c.leftDies) {
      rig.Fire(98);
      EXPECT_EQ(rig.s.RightDown + rig.s.LeftDown, 0) << "the whole blast spares them";
    }
  }
}

TEST(Star, BlastTestRunsUntilTick283) {
  for (int enter : {283, 284}) {
    Rig rig;
    ArmSupernova(rig);
    rig.Fire(enter - 1);
    rig.s.RightY = 150;
    rig.Fire();
    EXPECT_EQ(rig.s.RightDown, enter == 283 ? 1 : 0) << "entering the middle in tick " << enter;
  }
}

TEST(Star, BlastSparesTheSurvivorOnceTheOtherShipIsDown) {
  struct Case {
    StarFigure figure;
    int32_t casualty;
    bool dies;
  };
  const Case cases[] = {{StarFigure::A, 0, true},  {StarFigure::A, 1, true},
                        {StarFigure::A, 2, false}, {StarFigure::A, 3, true},
                        {StarFigure::B, 0, true},  {StarFigure::B, 1, false},
                        {StarFigure::B, 2, true},  {StarFigure::B, 3, true}};
  for (const Case& c : cases) {
    Rig rig;
    rig.StartMatch();
    rig.s.StarMode = 2;
    rig.s.StarANum = rig.s.StarBNum = 35;
    rig.s.StarADen = rig.s.StarBDen = 10;
    rig.s.StarAAfterglow = rig.s.StarBAfterglow = 50;
    rig.s.Casualty = c.casualty;
    UpdateSupernova(rig.match, c.figure);
    const int32_t down = c.figure == StarFigure::A ? rig.s.RightDown : rig.s.LeftDown;
    const int32_t other = c.figure == StarFigure::A ? rig.s.LeftDown : rig.s.RightDown;
    EXPECT_EQ(down, c.dies ? 1 : 0) << "casualty " << c.casualty;
    EXPECT_EQ(other, 0) << "each figure tests only its own ship";
  }
}

TEST(Star, ContinueReturnsAFrozenSupernovaToCalm) {
  Rig rig;
  ArmSupernova(rig);
  rig.s.LeftY = 150;
  rig.Fire(185 + 26);
  ASSERT_FALSE(rig.Running());
  EXPECT_EQ(rig.s.StarBNum, 35) << "frozen in its blast while play is stopped";
  rig.Down(VkSpace);
  EXPECT_EQ(rig.s.StarMode, 1);
  rig.Fire();
  EXPECT_EQ(rig.s.SpinA, 2);
  EXPECT_EQ(rig.s.SpinB, 8);
  EXPECT_EQ(rig.s.StarANum, 20);
  EXPECT_EQ(rig.s.Charge, 2);
}

}  // namespace
}  // namespace kavarin

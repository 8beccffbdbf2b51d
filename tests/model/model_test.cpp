// The model checked on its own against the game's worked examples, so that a fault shared by the
// model and the core cannot hide behind an agreeing differential test.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "rules_model.h"

namespace kavarin_model {
namespace {

// Ticks of a started match, counted from 1, in which a trace line containing `what` appeared.
std::vector<int> TicksWith(Model& m, int ticks, const std::string& what) {
  std::string sink;
  m.SetTrace(&sink);
  std::vector<int> found;
  for (int t = 1; t <= ticks; ++t) {
    sink.clear();
    m.Fire();
    if (sink.find(what) != std::string::npos) found.push_back(t);
  }
  m.SetTrace(nullptr);
  return found;
}

TEST(ModelShip, ThrustHeldFromRestFollowsTheMomentumTable) {
  Model m;
  m.Start();
  m.KeyDown(191);  // right ship down
  struct Row {
    int tick, momentum, speed, y;
  };
  const Row rows[] = {{9, 9, 0, 200},   {10, 10, 1, 200}, {11, 11, 1, 201}, {20, 20, 2, 210},
                      {27, 27, 3, 224}, {33, 33, 4, 242}, {38, 38, 5, 262}, {42, 42, 6, 282},
                      {45, 45, 7, 300}, {46, 46, 7, 7},   {51, 48, 7, 42}};
  int tick = 0;
  for (const Row& r : rows) {
    while (tick < r.tick) m.Fire(), ++tick;
    EXPECT_EQ(m.momentum[R], r.momentum) << "tick " << r.tick;
    EXPECT_EQ(m.speed[R], r.speed) << "tick " << r.tick;
    EXPECT_EQ(m.y[R], r.y) << "tick " << r.tick;
  }
  // Reversing from momentum 48 at speed 7: the speed steps down only on exact thresholds.
  m.KeyDown(221);
  const int expect_at[][2] = {{6, 6},  {10, 5}, {15, 4}, {21, 3},
                              {28, 2}, {38, 1}, {48, 0}, {58, -1}};
  tick = 0;
  for (const auto& e : expect_at) {
    while (tick < e[0]) m.Fire(), ++tick;
    EXPECT_EQ(m.speed[R], e[1]) << "reverse tick " << e[0];
  }
  m.KeyUp(191);  // any of the side's movement keys releases it
  EXPECT_EQ(m.thrust[R], 0);
}

TEST(ModelBeam, CalmStarBendsBeamsTowardsTheMiddle) {
  // Launch y and the y at the hit column, tick 35 of the flight.
  const int cases[][2] = {{180, 152}, {10, 127}, {100, 312}, {150, 186},
                          {151, 115}, {200, 68}, {250, -22}, {300, 300}};
  for (const auto& c : cases) {
    for (int side : {R, L}) {
      Model m;
      m.Start();
      m.y[side] = c[0];
      m.y[1 - side] = 5;  // out of the way, so nothing is hit
      m.KeyDown(side == R ? 186 : 83);
      for (int t = 0; t < 35; ++t) m.Fire();
      EXPECT_EQ(m.beam_x[side], side == R ? 20 : 380);
      EXPECT_EQ(m.beam_y[side], c[1]) << "from " << c[0] << " side " << side;
      m.Fire();
      m.Fire();
      EXPECT_EQ(m.beam_state[side], 0) << "the flight ends in tick 37";
      EXPECT_EQ(m.beam_x[side], side == R ? 0 : 400);
    }
  }
}

TEST(ModelBeam, HitWindowIsFourteenEitherWay) {
  // A beam from 300 flies straight; the target sits 14 or 15 away from it.
  for (int offset : {-15, -14, 14, 15}) {
    Model m;
    m.Start();
    m.y[L] = 300;
    m.y[R] = 300 + offset > 300 ? 300 + offset - 300 : 300 + offset;
    m.KeyDown(83);
    for (int t = 0; t < 35; ++t) m.Fire();
    const bool hit = offset == -14 || offset == 14;
    // 315 wraps to 15, which is far from 300: there is no wrap in the hit test.
    EXPECT_EQ(m.down[R], hit && offset < 0 ? 1 : 0) << offset;
    EXPECT_EQ(m.hit_mute, hit && offset < 0 ? 1 : 0);
  }
}

TEST(ModelStar, OutlinesMatchTheWorkedExamples) {
  auto text = [](const std::vector<Point>& pts) {
    std::string s;
    for (const Point& p : pts) s += std::to_string(p.x) + "," + std::to_string(p.y) + " ";
    return s;
  };
  EXPECT_EQ(text(Model::StarOutline(1, 20, 20)),
            "200,209 242,188 259,150 238,108 200,91 158,112 141,150 162,192 200,209 ");
  EXPECT_EQ(text(Model::StarOutline(1, 20, 200)),
            "200,155 204,153 205,150 203,146 200,145 196,147 195,150 197,154 200,155 ");
  EXPECT_EQ(text(Model::StarOutline(1, 35, 10)),
            "200,356 347,283 406,150 333,3 200,-56 53,17 -6,150 67,297 200,356 ");
}

TEST(ModelStar, SupernovaTimelineAndBlastBands) {
  Model m;
  m.Start();
  for (int t = 0; t < 79; ++t) m.Fire();
  m.KeyDown(32);
  EXPECT_EQ(m.star_mode, 1) << "Charge 80 is not enough";
  m.Fire();  // the 80th tick brings Charge to 81
  m.KeyDown(32);
  ASSERT_EQ(m.star_mode, 2);
  // The ships sit on the edges of the safe bands: y 40 survives, y 259 does not.
  m.y[R] = 40;
  m.y[L] = 259;
  Model copy = m;
  EXPECT_EQ(TicksWith(copy, 300, "cue shuku"), std::vector<int>{1});
  copy = m;
  EXPECT_EQ(TicksWith(copy, 300, "cue chou"), std::vector<int>{184});
  for (int t = 1; t <= 185; ++t) m.Fire();
  EXPECT_EQ(m.down[L], 1) << "destroyed on tick 185";
  EXPECT_EQ(m.down[R], 0);
  EXPECT_EQ(m.star_num[1], 35);
}

TEST(ModelWreck, OffsetsScheduleAndScoring) {
  Model m;
  m.Start();
  m.y[R] = 300;
  m.y[L] = 300;
  m.KeyDown(83);
  for (int t = 0; t < 35; ++t) m.Fire();  // hit in tick 35: the wreck's tick 0
  ASSERT_EQ(m.down[R], 1);
  const std::array<int32_t, 10> dx0 = {-1, 13, -2, 12, 8, 16, 9, 18, 14, 16};
  const std::array<int32_t, 10> dy0 = {1, 5, -1, -4, 8, 9, -8, -8, 8, -8};
  EXPECT_EQ(m.wreck_dx[R], dx0);
  EXPECT_EQ(m.wreck_dy[R], dy0);
  EXPECT_EQ(m.casualty, 1);
  for (int t = 1; t <= 25; ++t) m.Fire();
  const std::array<int32_t, 10> dx25 = {-26, -37, -52, -63, -17, -16, 9, 18, 16, 14};
  const std::array<int32_t, 10> dy25 = {26, 37, -26, -29, -17, -9, 17, 17, -8, 8};
  EXPECT_EQ(m.wreck_dx[R], dx25);
  EXPECT_EQ(m.wreck_dy[R], dy25);
  EXPECT_TRUE(m.Running());
  std::string sink;
  m.SetTrace(&sink);
  m.Fire();  // tick 26: the round ends
  EXPECT_EQ(m.round_over, 1);
  EXPECT_EQ(m.down[R], 0);
  EXPECT_EQ(m.score[L], 1);
  EXPECT_EQ(m.score[R], 0);
  EXPECT_FALSE(m.Running());
  EXPECT_NE(sink.find("polyline FFFFFF 108,50 116,50 116,82 108,82 124,82\n"), std::string::npos);
  EXPECT_NE(sink.find("polyline FFFFFF 268,50 300,50 300,82 268,82 268,50\n"), std::string::npos);
}

TEST(ModelScoring, BothDownAtTwoAllEndsTheGameWithTheLegend) {
  Model m;
  m.Start();
  m.score = {2, 2};
  m.y = {300, 300};
  m.KeyDown(83);
  m.KeyDown(186);
  std::string sink;
  m.SetTrace(&sink);
  for (int t = 0; t < 61; ++t) m.Fire();
  EXPECT_EQ(m.casualty, 3);
  EXPECT_EQ(m.score[R], 3);
  EXPECT_EQ(m.score[L], 3);
  EXPECT_FALSE(m.Running());
  EXPECT_EQ(m.pen_x, 260);
  EXPECT_EQ(m.pen_y, 250);
  EXPECT_NE(sink.find("polyline FFFFFF 144,250 132,250 132,266 144,266 144,258 140,258\n"),
            std::string::npos);
  EXPECT_NE(sink.find("polyline FFFFFF 148,266 154,250 160,266\npolyline FFFFFF 152,258 156,258\n"),
            std::string::npos);
  EXPECT_NE(sink.find("260,258 273,267\n"), std::string::npos);
  // Both scoring steps stop the timers: six interval lines.
  size_t intervals = 0;
  for (size_t p = sink.find("interval"); p != std::string::npos; p = sink.find("interval", p + 1))
    ++intervals;
  EXPECT_EQ(intervals, 6u);
  // At 3 points Space no longer continues; Start begins a new match.
  m.KeyDown(32);
  EXPECT_FALSE(m.Running());
  m.Start();
  EXPECT_TRUE(m.Running());
  EXPECT_EQ(m.score[R], 0);
}

}  // namespace
}  // namespace kavarin_model

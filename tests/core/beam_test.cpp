#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>

#include "mechanics/beam.h"
#include "recorder.h"

namespace kavarin {
namespace {

using ::testing::ElementsAre;

int32_t FireKey(Side side) {
  return side == Side::Right ? VkOem1 : VkS;
}

// A started match in which `side` fires from `y` while the other ship waits at the top edge,
// well away from the beam.
void FireFrom(Rig& rig, Side side, int32_t y) {
  rig.StartMatch();
  FieldsOf(rig.s, side).Y = y;
  FieldsOf(rig.s, Opponent(side)).Y = y < 150 ? 290 : 5;
  rig.Down(FireKey(side));
}

TEST(Beam, FlightFrom180BendsTheSameWayOnBothSides) {
  struct Row {
    int tick, rightX, leftX, dy, y;
  };
  const Row rows[] = {{1, 360, 40, 0, 180},     {18, 190, 210, 0, 180},   {19, 180, 220, -4, 176},
                      {20, 170, 230, -8, 168},  {21, 160, 240, -12, 156}, {22, 150, 250, -16, 140},
                      {23, 140, 260, -12, 128}, {24, 130, 270, -8, 120},  {25, 120, 280, -4, 116},
                      {26, 110, 290, 0, 116},   {27, 100, 300, 4, 120},   {35, 20, 380, 4, 152},
                      {36, 10, 390, 4, 156}};
  for (Side side : Sides) {
    Rig rig;
    FireFrom(rig, side, 180);
    const auto f = FieldsOf(rig.s, side);
    int tick = 0;
    for (const Row& r : rows) {
      while (tick < r.tick) rig.Fire(), ++tick;
      EXPECT_EQ(f.BeamX, side == Side::Right ? r.rightX : r.leftX) << "tick " << r.tick;
      EXPECT_EQ(f.BeamDY, r.dy) << "tick " << r.tick;
      EXPECT_EQ(f.BeamY, r.y) << "tick " << r.tick;
      EXPECT_EQ(f.BeamState, 2) << "tick " << r.tick;
    }
    // Tick 37: the head reaches the edge; its segment is drawn and taken away at once.
    const EventLog& log = rig.TickLog();
    EXPECT_EQ(f.BeamState, 0);
    EXPECT_EQ(f.BeamX, side == Side::Right ? 0 : 400);
    EXPECT_EQ(f.BeamY, 160);
    const std::string seg = side == Side::Right ? "0,160 -10,164" : "400,160 410,164";
    const std::string prev = side == Side::Right ? "10,156 0,160" : "390,156 400,160";
    const auto lines = log.Polylines();
    const auto at = std::find(lines.begin(), lines.end(), "polyline 000000 " + prev);
    ASSERT_NE(at, lines.end());
    ASSERT_GE(lines.end() - at, 3);
    EXPECT_EQ(at[1], "polyline FFFFFF " + seg);
    EXPECT_EQ(at[2], "polyline 000000 " + seg);
    // The next request launches no earlier than the tick after.
    rig.Down(FireKey(side));
    rig.Fire();
    EXPECT_EQ(f.BeamX, side == Side::Right ? 360 : 40);
  }
}

TEST(Beam, CalmStarBendsEveryLaunchTowardsTheMiddle) {
  const int32_t cases[][2] = {{10, 127}, {100, 312}, {150, 186}, {151, 115},
                              {200, 68}, {250, -22}, {300, 300}};
  for (Side side : Sides) {
    for (const auto& c : cases) {
      Rig rig;
      FireFrom(rig, side, c[0]);
      rig.Fire(35);
      EXPECT_EQ(FieldsOf(rig.s, side).BeamX, side == Side::Right ? 20 : 380);
      EXPECT_EQ(FieldsOf(rig.s, side).BeamY, c[1]) << "launched at " << c[0];
    }
  }
}

TEST(Beam, BandEdgesDecideTheFirstBend) {
  // The first bending tick is tick 19 of the flight; y is still the launch y when it is tested.
  const int32_t cases[][2] = {{150, 4},  {151, -4}, {200, -4}, {201, -2}, {250, -2},
                              {251, -1}, {299, -1}, {300, 0},  {100, 2},  {101, 4},
                              {50, 1},   {51, 2},   {1, 1}};
  for (const auto& c : cases) {
    Rig rig;
    FireFrom(rig, Side::Left, c[0]);
    rig.Fire(18);
    EXPECT_EQ(rig.s.LeftBeamDY, 0);
    rig.Fire();
    EXPECT_EQ(rig.s.LeftBeamDY, c[1]) << "launched at " << c[0];
  }
  // Beams whose y has left the field are not bent at all.
  for (int32_t y : {0, -5, 300, 340}) {
    Rig rig;
    rig.StartMatch();
    rig.s.RightBeamState = 2;
    rig.s.RightBeamX = 150;
    rig.s.RightBeamY = y;
    rig.s.RightBeamDY = 0;
    FlyBeam(rig.match, Side::Right);
    EXPECT_EQ(rig.s.RightBeamDY, 0) << "y " << y;
  }
}

TEST(Beam, SupernovaStopsTheBendingAndKeepsTheLastStep) {
  Rig rig;
  FireFrom(rig, Side::Right, 180);
  rig.Fire(21);
  ASSERT_EQ(rig.s.RightBeamDY, -12);
  rig.s.StarMode = 2;
  rig.Fire(6);
  EXPECT_EQ(rig.s.RightBeamDY, -12);
  EXPECT_EQ(rig.s.RightBeamY, 156 - 6 * 12);
}

TEST(Beam, HitWindowIsFourteenPixelsEitherWay) {
  for (Side target : Sides) {
    for (int32_t miss = -16; miss <= 16; ++miss) {
      Rig rig;
      rig.StartMatch();
      const auto ship = FieldsOf(rig.s, target);
      const auto beam = FieldsOf(rig.s, Opponent(target));
      ship.Y = 150;
      beam.BeamX = target == Side::Right ? 380 : 20;
      beam.BeamY = 150 + miss;
      rig.log.Clear();
      TestBeamHit(rig.match, target);
      const bool hit = miss >= -14 && miss <= 14;
      EXPECT_EQ(ship.Down, hit ? 1 : 0) << "miss by " << miss;
      EXPECT_EQ(rig.s.HitMute, hit ? 1 : 0);
      EXPECT_EQ(rig.log.Cues().size(), hit ? 1u : 0u);
      EXPECT_EQ(FieldsOf(rig.s, Opponent(target)).Down, 0);
    }
  }
}

TEST(Beam, HitsOnlyInTheHitColumnAndNeverAcrossTheWrap) {
  struct Case {
    int32_t beamX, beamY, shipY;
    bool hit;
  };
  const Case cases[] = {
      {380, -11, 1, true},    {380, -11, 3, true},    {380, -11, 4, false},  {380, 295, 2, false},
      {370, 150, 150, false}, {390, 150, 150, false}, {30, 150, 150, false},
  };
  for (const Case& c : cases) {
    Rig rig;
    rig.StartMatch();
    rig.s.RightY = c.shipY;
    rig.s.LeftBeamX = c.beamX;
    rig.s.LeftBeamY = c.beamY;
    rig.s.LeftBeamState = 0;  // the test reads the head alone, whatever the beam's state
    TestBeamHit(rig.match, Side::Right);
    EXPECT_EQ(rig.s.RightDown, c.hit ? 1 : 0) << c.beamX << "," << c.beamY << " vs " << c.shipY;
  }
}

TEST(Beam, CasualtySparesTheSurvivorButNotTheFallen) {
  struct Case {
    Side target;
    int32_t casualty;
    bool hit;
  };
  const Case cases[] = {
      {Side::Right, 0, true}, {Side::Right, 1, true}, {Side::Right, 2, false},
      {Side::Right, 3, true}, {Side::Left, 0, true},  {Side::Left, 1, false},
      {Side::Left, 2, true},  {Side::Left, 3, true},
  };
  for (const Case& c : cases) {
    Rig rig;
    rig.StartMatch();
    rig.s.Casualty = c.casualty;
    FieldsOf(rig.s, c.target).Y = 100;
    FieldsOf(rig.s, Opponent(c.target)).BeamX = c.target == Side::Right ? 380 : 20;
    FieldsOf(rig.s, Opponent(c.target)).BeamY = 100;
    rig.log.Clear();
    TestBeamHit(rig.match, c.target);
    EXPECT_EQ(FieldsOf(rig.s, c.target).Down, c.hit ? 1 : 0) << "casualty " << c.casualty;
    EXPECT_EQ(rig.log.Cues().size(), c.hit ? 1u : 0u);
  }
}

TEST(Beam, LaunchIsSilentAfterAHitAndDuringTheBlastButStillLaunches) {
  struct Case {
    int32_t hitMute, starBNum;
    bool heard;
  };
  const Case cases[] = {{0, 20, true}, {1, 20, false}, {0, 35, false}, {0, 16, true}};
  for (const Case& c : cases) {
    Rig rig;
    rig.StartMatch();
    rig.s.HitMute = c.hitMute;
    rig.s.StarBNum = c.starBNum;
    rig.s.LeftBeamState = 1;
    LaunchBeam(rig.match, Side::Left);
    EXPECT_EQ(rig.s.LeftBeamState, 2);
    EXPECT_EQ(rig.s.LeftBeamX, 30);
    EXPECT_EQ(rig.s.LeftBeamY, 200);
    EXPECT_EQ(rig.log.Cues().size(), c.heard ? 1u : 0u)
        << "mute " << c.hitMute << " StarBNum " << c.starBNum;
  }
}

TEST(Beam, BothFiringInOneTickGiveTwoLaunchCues) {
  Rig rig;
  rig.StartMatch();
  rig.Down(VkS);
  rig.Down(VkOem1);
  EXPECT_THAT(rig.TickLog().Cues(), ElementsAre("cue hassha", "cue hassha"));
}

TEST(Beam, ADestroyedShipStillFiresButCannotKill) {
  Rig rig;
  rig.StartMatch();
  rig.s.RightY = 300;  // beams from 300 fly straight
  rig.s.LeftY = 300;
  rig.Down(VkOem1);
  rig.Fire();
  rig.Down(VkS);  // one tick behind the right beam
  rig.Fire(34);
  EXPECT_EQ(rig.s.LeftDown, 1) << "tick 35: the right beam hits";
  rig.Fire();
  EXPECT_EQ(rig.s.LeftBeamX, 380);
  EXPECT_EQ(rig.s.LeftBeamY, 300);
  EXPECT_EQ(rig.s.RightDown, 0) << "tick 36: the left beam is on target but its ship is down";
  EXPECT_THAT(rig.log.Cues(), ElementsAre("cue hassha", "cue hassha", "cue hakai"));
  rig.Fire(2);
  ASSERT_EQ(rig.s.LeftBeamState, 0);
  rig.Down(VkS);
  rig.log.Clear();
  rig.Fire();
  EXPECT_EQ(rig.s.LeftBeamState, 2) << "the invisible ship fires again";
  EXPECT_EQ(rig.s.LeftBeamY, 300);
  EXPECT_TRUE(rig.log.Cues().empty()) << "in silence after the hit";
}

}  // namespace
}  // namespace kavarin

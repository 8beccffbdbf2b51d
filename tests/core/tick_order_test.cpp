#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "recorder.h"

namespace kavarin {
namespace {

using ::testing::ElementsAre;

void Append(std::vector<std::string>& to, const std::vector<std::string>& lines) {
  to.insert(to.end(), lines.begin(), lines.end());
}

const char* const StarIndex1 =
    "200,209 242,188 259,150 238,108 200,91 158,112 141,150 162,192 200,209";
const char* const StarIndex2 =
    "205,209 246,184 259,145 234,104 195,91 154,116 141,155 166,196 205,209";
const char* const StarIndex8 =
    "234,196 259,155 246,116 205,91 166,104 141,145 154,184 195,209 234,196";

TEST(TickOrder, FirstTickAfterStartRunsEveryStepInOrder) {
  Rig rig;
  rig.StartMatch();
  rig.Down(VkOem1);
  rig.Down(VkS);
  const EventLog& log = rig.TickLog();

  std::vector<std::string> expect;
  auto pass = [&](Color pen, const std::vector<std::string>& lines) {
    expect.push_back("pen " + std::string(ColorText(pen)));
    Append(expect, lines);
  };
  pass(Color::Black, OutlineLines(370, 200, 1, Color::Black));
  pass(Color::White, OutlineLines(370, 200, 1, Color::White));
  expect.push_back("cue hassha");
  pass(Color::Black, {"polyline 000000 370,200 360,200"});
  pass(Color::White, {"polyline FFFFFF 360,200 350,200"});
  pass(Color::Black, OutlineLines(30, 200, -1, Color::Black));
  pass(Color::White, OutlineLines(30, 200, -1, Color::White));
  expect.push_back("cue hassha");
  pass(Color::Black, {"polyline 000000 30,200 40,200"});
  pass(Color::White, {"polyline FFFFFF 40,200 50,200"});
  // Figure A turns from index 1 to 2 in the first tick; B stays at 8 until the third.
  pass(Color::Black, {std::string("polyline 000000 ") + StarIndex1});
  pass(Color::White, {std::string("polyline FFFFFF ") + StarIndex2});
  pass(Color::Black, {std::string("polyline 000000 ") + StarIndex8});
  pass(Color::White, {std::string("polyline FFFFFF ") + StarIndex8});
  // Both wrecks idle at (100, 100): erased and redrawn in black.
  pass(Color::Black, OutlineLines(100, 100, 1, Color::Black));
  pass(Color::Black, OutlineLines(100, 100, 1, Color::Black));
  pass(Color::Black, OutlineLines(100, 100, -1, Color::Black));
  pass(Color::Black, OutlineLines(100, 100, -1, Color::Black));
  EXPECT_EQ(log.lines, expect);
  EXPECT_EQ(rig.s.RightBeamX, 360);
  EXPECT_EQ(rig.s.LeftBeamX, 40);
}

TEST(TickOrder, CuesOfOneTickFollowTheStepOrder) {
  Rig rig;
  rig.StartMatch();
  // Both beams requested, figure A about to collapse and figure B about to blast.
  rig.s.RightBeamState = 1;
  rig.s.LeftBeamState = 1;
  rig.s.StarMode = 2;
  rig.s.StarBNum = 16;
  rig.s.StarBDen = 10;
  EXPECT_THAT(rig.TickLog().Cues(),
              ElementsAre("cue hassha", "cue hassha", "cue shuku", "cue chou"));

  // Figure B about to blast again, and each beam one step from the other ship's hit column.
  rig.StartMatch();
  rig.s.StarMode = 2;
  rig.s.StarANum = 16;
  rig.s.StarADen = 10;
  rig.s.StarBNum = 16;
  rig.s.StarBDen = 10;
  rig.s.LeftBeamState = 2;
  rig.s.LeftBeamX = 370;
  rig.s.LeftBeamY = 200;
  rig.s.LeftBeamDY = 0;
  rig.s.RightBeamState = 2;
  rig.s.RightBeamX = 30;
  rig.s.RightBeamY = 200;
  rig.s.RightBeamDY = 0;
  const EventLog& log = rig.TickLog();
  EXPECT_THAT(log.Cues(), ElementsAre("cue chou", "cue hakai", "cue hakai"));
  EXPECT_EQ(rig.s.Casualty, 3);
}

TEST(TickOrder, ABeamLeavesFromWhereItsShipMovedThisTick) {
  Rig rig;
  rig.StartMatch();
  rig.s.RightSpeed = 3;
  rig.s.LeftSpeed = -5;
  rig.Down(VkOem1);
  rig.Down(VkS);
  rig.Up(VkOem1);  // released before the tick: the request stays raised
  rig.Up(VkS);
  rig.Fire();
  EXPECT_EQ(rig.s.RightBeamY, 203);
  EXPECT_EQ(rig.s.LeftBeamY, 195);
  EXPECT_EQ(rig.s.RightBeamX, 360);
  EXPECT_EQ(rig.s.LeftBeamX, 40);
  EXPECT_EQ(rig.s.RightBeamState, 2);
}

TEST(TickOrder, ChargeClimbsOncePerTickAndStopsAt100) {
  Rig rig;
  rig.StartMatch();
  rig.Fire(79);
  EXPECT_EQ(rig.s.Charge, 80);
  rig.Down(VkSpace);
  EXPECT_EQ(rig.s.StarMode, 1) << "no supernova before the 80th tick has run";
  rig.Fire();
  rig.Down(VkSpace);
  EXPECT_EQ(rig.s.StarMode, 2);
  Rig calm;
  calm.StartMatch();
  calm.Fire(200);
  EXPECT_EQ(calm.s.Charge, 100);
}

TEST(TickOrder, TheEarliestRoundEndsInTick61AndNoTickFollows) {
  Rig rig;
  rig.StartMatch();
  rig.s.RightY = 68;  // where a beam from 200 crosses the hit column, bent by the star
  rig.Down(VkS);
  rig.Fire(34);
  EXPECT_EQ(rig.s.RightDown, 0);
  rig.Fire();
  EXPECT_EQ(rig.s.RightDown, 1) << "the beam reaches the hit column in tick 35";
  rig.Fire(25);
  EXPECT_EQ(rig.s.RoundOver, 0);
  EXPECT_TRUE(rig.Running());
  rig.Fire();
  EXPECT_EQ(rig.s.RoundOver, 1);
  EXPECT_EQ(rig.s.LeftScore, 1);
  EXPECT_FALSE(rig.Running());
  EXPECT_EQ(rig.Fire(1000), 0);
  EXPECT_EQ(rig.s.LeftScore, 1);
}

TEST(TickOrder, AnIdleWreckBlanksTheBeamPixelsItShares) {
  Rig rig;
  rig.StartMatch();
  rig.s.LeftY = 100;
  rig.Down(VkS);
  rig.Fire(7);  // the left beam's segment now runs from (100, 100) to (110, 100)
  ASSERT_EQ(rig.s.LeftBeamX, 100);
  const Field& f = rig.sim.field;
  EXPECT_FALSE(f.IsWhite(100, 100)) << "the wrecks' black pass at rest crosses the beam";
  EXPECT_TRUE(f.IsWhite(106, 100));
  EXPECT_TRUE(f.IsWhite(109, 100));
  EXPECT_FALSE(f.IsWhite(110, 100)) << "a segment's end point is not painted";
}

// White drawings not yet erased by an identical black one, after each tick of a busy match.
// If any erase missed what it was meant to cover, stale drawings would pile up.
TEST(TickOrder, EveryEraseCoversExactlyWhatThePreviousTickDrew) {
  Rig rig;
  rig.StartMatch();
  std::map<std::string, int> live;
  size_t seen = 0;
  auto absorb = [&] {
    for (; seen < rig.log.lines.size(); ++seen) {
      const std::string& l = rig.log.lines[seen];
      if (l == "clear") live.clear();
      if (!l.starts_with("polyline ")) continue;
      const std::string points = l.substr(16);
      if (l.compare(9, 6, "FFFFFF") == 0) {
        ++live[points];
      } else if (auto it = live.find(points); it != live.end() && --it->second == 0) {
        live.erase(it);
      }
    }
  };
  int rounds = 0;
  int mostLive = 0;
  for (int tick = 0; tick < 6000; ++tick) {
    // Both players busy: steering back and forth, firing, setting off the star.
    rig.Down(tick / 37 % 2 ? VkX : VkA);
    rig.Down(tick / 53 % 2 ? VkOem2 : VkOem6);
    rig.Down(VkS);
    rig.Down(VkOem1);
    if (tick % 200 == 0) rig.Down(VkSpace);
    if (!rig.Running()) {
      ++rounds;
      if (rig.s.RightScore == 3 || rig.s.LeftScore == 3) rig.StartMatch();
      rig.Down(VkSpace);
      absorb();
      EXPECT_TRUE(live.empty());
    }
    rig.Fire();
    absorb();
    int count = 0;
    for (const auto& [points, n] : live) count += n;
    mostLive = std::max(mostLive, count);
    // Two ships, two beams, two star figures and two wrecks; the scoreboard only at a round end.
    ASSERT_LE(count, rig.s.RoundOver ? 10 + 2 + 2 + 10 + 11 : 10 + 2 + 2 + 10) << "tick " << tick;
    rig.log.Clear();
    seen = 0;
  }
  EXPECT_GE(rounds, 20) << "the script should play many rounds";
  EXPECT_GE(mostLive, 13);
}

}  // namespace
}  // namespace kavarin

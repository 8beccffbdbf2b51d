#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "mechanics/scoring.h"
#include "recorder.h"

namespace kavarin {
namespace {

using ::testing::ElementsAre;

const char* const DigitAt268[] = {
    "polyline FFFFFF 268,50 300,50 300,82 268,82 268,50",
    "polyline FFFFFF 276,50 284,50 284,82 276,82 292,82",
    "polyline FFFFFF 268,58 268,50 300,50 300,66 268,74 268,82 300,82",
    "polyline FFFFFF 268,50 300,50 300,66 268,66 300,66 300,82 268,82",
};
const char* const DigitAt100[] = {
    "polyline FFFFFF 100,50 132,50 132,82 100,82 100,50",
    "polyline FFFFFF 108,50 116,50 116,82 108,82 124,82",
    "polyline FFFFFF 100,58 100,50 132,50 132,66 100,74 100,82 132,82",
    "polyline FFFFFF 100,50 132,50 132,66 100,66 132,66 132,82 100,82",
};

TEST(Scoring, CasualtyFollowsTheDownFlagsAndNeverFallsBack) {
  struct Case {
    int32_t before, rightDown, leftDown, after;
  };
  const Case cases[] = {{0, 0, 0, 0}, {0, 1, 0, 1}, {0, 0, 1, 2}, {0, 1, 1, 3},
                        {1, 0, 0, 1}, {2, 0, 0, 2}, {3, 0, 0, 3}, {1, 1, 1, 3}};
  for (const Case& c : cases) {
    Rig rig;
    rig.s.Casualty = c.before;
    rig.s.RightDown = c.rightDown;
    rig.s.LeftDown = c.leftDown;
    UpdateCasualty(rig.match);
    EXPECT_EQ(rig.s.Casualty, c.after) << c.before << " " << c.rightDown << c.leftDown;
  }
}

TEST(Scoring, PointsGoToTheOtherPlayerAndStopPlay) {
  struct Case {
    int32_t roundOver, casualty, right, left, stops;
  };
  const Case cases[] = {{0, 1, 0, 0, 0}, {0, 3, 0, 0, 0}, {1, 1, 0, 1, 1},
                        {1, 2, 1, 0, 1}, {1, 3, 1, 1, 2}, {1, 0, 0, 0, 0}};
  for (const Case& c : cases) {
    Rig rig;
    rig.StartMatch();
    rig.log.Clear();
    rig.s.RoundOver = c.roundOver;
    rig.s.Casualty = c.casualty;
    AwardPoints(rig.match);
    EXPECT_EQ(rig.s.RightScore, c.right);
    EXPECT_EQ(rig.s.LeftScore, c.left);
    std::vector<std::string> stops;
    for (int i = 0; i < c.stops; ++i) {
      for (const char* t : {"interval Timer2 0", "interval Timer1 0", "interval Timer3 0"})
        stops.push_back(t);
    }
    EXPECT_EQ(rig.log.lines, stops) << "round over " << c.roundOver << " casualty " << c.casualty;
  }
}

TEST(Scoring, ScoreboardDrawsBothDigitsAndTheLegendAtThree) {
  for (int32_t right = 0; right <= 3; ++right) {
    for (int32_t left = 0; left <= 3; ++left) {
      Rig rig;
      rig.s.RoundOver = 1;
      rig.s.RightScore = right;
      rig.s.LeftScore = left;
      DrawScoreboard(rig.match);
      const auto& lines = rig.log.lines;
      const bool over = right == 3 || left == 3;
      ASSERT_EQ(lines.size(), over ? 12u : 3u);
      EXPECT_EQ(lines[0], "pen FFFFFF");
      EXPECT_EQ(lines[1], DigitAt268[right]);
      EXPECT_EQ(lines[2], DigitAt100[left]);
      if (over) {
        EXPECT_EQ(lines[3].substr(0, 23), "polyline FFFFFF 144,250");
      }
    }
  }
  Rig rig;
  rig.s.RoundOver = 0;
  rig.s.LeftScore = 2;
  DrawScoreboard(rig.match);
  EXPECT_TRUE(rig.log.lines.empty()) << "only in the tick that ends a round";
}

// The opponent's beam in flight one step before `target`'s hit column, level with the ship.
void BeamAbout(Rig& rig, Side target) {
  const auto beam = FieldsOf(rig.s, Opponent(target));
  beam.BeamState = 2;
  beam.BeamX = target == Side::Right ? 370 : 30;
  beam.BeamY = FieldsOf(rig.s, target).Y;
  beam.BeamDY = 0;
}

TEST(Scoring, DoubleKillAtTwoAllEndsTheGameThreeAll) {
  Rig rig;
  rig.StartMatch();
  rig.s.RightScore = 2;
  rig.s.LeftScore = 2;
  BeamAbout(rig, Side::Right);
  BeamAbout(rig, Side::Left);
  rig.Fire();
  EXPECT_EQ(rig.s.Casualty, 3);
  EXPECT_EQ(rig.Fire(25), 25);
  EXPECT_EQ(rig.s.RoundOver, 0);
  const EventLog& last = rig.TickLog();
  EXPECT_EQ(rig.s.RightScore, 3);
  EXPECT_EQ(rig.s.LeftScore, 3);
  const auto lines = last.Polylines();
  ASSERT_GE(lines.size(), 11u);
  EXPECT_EQ(lines[lines.size() - 11], DigitAt268[3]);
  EXPECT_EQ(lines[lines.size() - 10], DigitAt100[3]);
  EXPECT_EQ(lines.back(), "polyline FFFFFF 260,266 260,250 272,250 272,258 260,258 273,267");
  EXPECT_EQ(last.Intervals().size(), 6u) << "stopped by each of the two points";
  EXPECT_FALSE(rig.Running());

  rig.log.Clear();
  rig.Down(VkSpace);
  EXPECT_FALSE(rig.Running()) << "Space does not continue a finished game";
  EXPECT_TRUE(rig.log.lines.empty()) << "and leaves the field as it is";
  rig.StartMatch();
  EXPECT_EQ(rig.s.RightScore + rig.s.LeftScore, 0);
  EXPECT_TRUE(rig.Running());
}

TEST(Scoring, ABlastKillAndABeamHitInOneTickBothCount) {
  Rig rig;
  rig.StartMatch();
  rig.s.StarMode = 2;  // in the middle of the blast
  rig.s.StarANum = rig.s.StarBNum = 35;
  rig.s.StarADen = rig.s.StarBDen = 10;
  rig.s.StarAAfterglow = rig.s.StarBAfterglow = 10;
  rig.s.RightY = 150;  // in the blast
  rig.s.LeftY = 280;   // spared by the blast, but a beam is on its way
  BeamAbout(rig, Side::Left);
  rig.Fire();
  EXPECT_EQ(rig.s.Casualty, 3);
  EXPECT_EQ(rig.Fire(100), 26) << "both wrecks end in the same tick";
  EXPECT_EQ(rig.s.RightScore, 1);
  EXPECT_EQ(rig.s.LeftScore, 1);
}

TEST(Scoring, TheSurvivorCannotBeDestroyedWhileTheWreckFlies) {
  // By a beam: once the right ship is down, the right ship's beams on target do nothing.
  Rig rig;
  rig.StartMatch();
  BeamAbout(rig, Side::Right);
  rig.Fire();
  ASSERT_EQ(rig.s.Casualty, 1);
  for (int t = 1; t < 26; t += 5) {
    BeamAbout(rig, Side::Left);  // the fallen right ship's beam on target
    rig.Fire();
    EXPECT_EQ(rig.s.LeftDown, 0);
  }
  // By the blast: the supernova reaches its blast while the right wreck still flies.
  Rig blast;
  blast.StartMatch();
  blast.s.StarMode = 2;
  blast.s.StarANum = blast.s.StarBNum = 35;
  blast.s.StarADen = blast.s.StarBDen = 10;
  blast.s.StarAAfterglow = blast.s.StarBAfterglow = 10;
  blast.s.LeftY = 280;  // spared by the band in the first blast tick
  blast.Fire();
  ASSERT_EQ(blast.s.Casualty, 1);
  blast.s.LeftY = 150;
  for (Rig* r : {&rig, &blast}) {
    EXPECT_EQ(r->Fire(100), r == &rig ? 21 : 26);
    EXPECT_EQ(r->s.LeftScore, 1);
    EXPECT_EQ(r->s.RightScore, 0);
    EXPECT_EQ(r->s.LeftDown, 0);
  }
}

TEST(Scoring, TheRoadOfOneShotFromKeyToScore) {
  Rig rig;
  rig.StartMatch();
  rig.s.RightY = 68;  // where a beam from 200 crosses the hit column, bent by the star
  rig.Down(VkS);
  EXPECT_EQ(rig.s.LeftBeamState, 1);
  const EventLog& first = rig.TickLog();
  EXPECT_THAT(first.Cues(), ElementsAre("cue hassha"));
  EXPECT_EQ(rig.s.LeftBeamState, 2);
  EXPECT_EQ(rig.s.LeftBeamX, 40);
  rig.Fire(33);
  EXPECT_EQ(rig.s.RightDown, 0);
  const EventLog& hit = rig.TickLog();  // tick 35 of the flight
  EXPECT_EQ(rig.s.LeftBeamX, 380);
  EXPECT_THAT(hit.Cues(), ElementsAre("cue hakai"));
  EXPECT_EQ(rig.s.RightDown, 1);
  EXPECT_EQ(rig.s.HitMute, 1);
  EXPECT_EQ(rig.s.Casualty, 1);
  EXPECT_EQ(rig.s.RightWreckX, 370);
  EXPECT_EQ(rig.Fire(25), 25);
  EXPECT_EQ(rig.s.LeftScore, 0);
  const EventLog& scoring = rig.TickLog();  // 26 ticks after the hit
  EXPECT_EQ(rig.s.RoundOver, 1);
  EXPECT_EQ(rig.s.RightDown, 0);
  EXPECT_EQ(rig.s.LeftScore, 1);
  EXPECT_EQ(rig.s.RightScore, 0);
  EXPECT_THAT(scoring.Intervals(),
              ElementsAre("interval Timer2 0", "interval Timer1 0", "interval Timer3 0"));
  const auto lines = scoring.Polylines();
  EXPECT_EQ(lines[lines.size() - 2], DigitAt268[0]);
  EXPECT_EQ(lines.back(), DigitAt100[1]);
  EXPECT_EQ(scoring.lines.back(), DigitAt100[1]) << "the scoreboard is the tick's last drawing";
  EXPECT_TRUE(rig.sim.field.IsWhite(116, 60));

  EXPECT_EQ(rig.Fire(500), 0) << "no tick after the scoring tick";
  EXPECT_EQ(rig.s.LeftScore, 1);
  rig.Down(VkSpace);
  EXPECT_TRUE(rig.Running());
  EXPECT_EQ(rig.s.LeftScore, 1);
  EXPECT_EQ(rig.s.HitMute, 0);
  EXPECT_FALSE(rig.sim.field.IsWhite(116, 60)) << "Continue clears the scoreboard";
}

}  // namespace
}  // namespace kavarin

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "mechanics/wreck.h"
#include "recorder.h"

namespace kavarin {
namespace {

using ::testing::ElementsAre;

// Every field with a reset value holds it, wrecks at rest included.
void ExpectRoundReset(const MatchState& s) {
  EXPECT_EQ(s.RightY, 200);
  EXPECT_EQ(s.LeftY, 200);
  EXPECT_EQ(s.RightThrust, 0);
  EXPECT_EQ(s.LeftThrust, 0);
  EXPECT_EQ(s.RightSpeed, 0);
  EXPECT_EQ(s.LeftSpeed, 0);
  EXPECT_EQ(s.RightMomentum, 0);
  EXPECT_EQ(s.LeftMomentum, 0);
  EXPECT_EQ(s.RightBeamState, 0);
  EXPECT_EQ(s.LeftBeamState, 0);
  EXPECT_EQ(s.RightBeamX, 370);
  EXPECT_EQ(s.LeftBeamX, 30);
  EXPECT_EQ(s.SpinA, 1);
  EXPECT_EQ(s.SpinB, 8);
  EXPECT_EQ(s.SpinClock, 1);
  for (Side side : Sides) {
    const auto f = FieldsOf(s, side);
    EXPECT_EQ(f.WreckPhase, 1);
    EXPECT_EQ(f.WreckTicks, 1);
    EXPECT_EQ(f.WreckX, 100);
    EXPECT_EQ(f.WreckY, 100);
    EXPECT_EQ(f.WreckDX, (WreckOffsets{0, 15, 0, 15, 9, 18, 9, 18, 15, 15}));
    EXPECT_EQ(f.WreckDY, (WreckOffsets{0, 3, 0, -3, 9, 9, -9, -9, 9, -9}));
    EXPECT_EQ(f.Down, 0);
  }
  EXPECT_EQ(s.Casualty, 0);
  EXPECT_EQ(s.StarANum, 20);
  EXPECT_EQ(s.StarADen, 20);
  EXPECT_EQ(s.StarBNum, 20);
  EXPECT_EQ(s.StarBDen, 20);
  EXPECT_EQ(s.StarMode, 1);
  EXPECT_EQ(s.StarAAfterglow, 1);
  EXPECT_EQ(s.StarBAfterglow, 1);
  EXPECT_EQ(s.Charge, 1);
  EXPECT_EQ(s.RoundOver, 0);
}

// A record in the middle of things: a supernova in its blast, a wreck flying, a beam out,
// scores on the board and the firing sound muted.
void Scramble(MatchState& s) {
  s.RightY = 33;
  s.LeftY = 250;
  s.RightThrust = 1;
  s.LeftThrust = -1;
  s.RightSpeed = 7;
  s.LeftSpeed = -3;
  s.RightMomentum = 49;
  s.LeftMomentum = -27;
  s.RightBeamState = 2;
  s.LeftBeamState = 1;
  s.RightBeamX = 20;
  s.LeftBeamX = 380;
  s.SpinA = 5;
  s.SpinB = 2;
  s.SpinClock = 3;
  s.RightWreckPhase = 3;
  s.RightWreckTicks = 4;
  s.RightWreckX = 370;
  s.RightWreckY = 33;
  s.RightWreckDX[0] = -9;
  s.LeftWreckDY[9] = 12;
  s.RightDown = 1;
  s.LeftDown = 1;
  s.Casualty = 3;
  s.StarANum = 35;
  s.StarADen = 10;
  s.StarBNum = 35;
  s.StarBDen = 10;
  s.StarMode = 2;
  s.StarAAfterglow = 40;
  s.StarBAfterglow = 40;
  s.Charge = 100;
  s.RoundOver = 1;
  s.RightScore = 2;
  s.LeftScore = 1;
  s.HitMute = 1;
}

TEST(Resets, WindowCreationStopsPlayAndDrawsNothing) {
  Simulation sim;
  RecordingObserver recorder;
  Match match{sim, recorder};
  FormCreate(match);
  ExpectRoundReset(match.state);
  EXPECT_EQ(match.state.RightScore, 0);
  EXPECT_EQ(match.state.LeftScore, 0);
  EXPECT_EQ(match.state.HitMute, 0);
  EXPECT_THAT(recorder.log.lines, ElementsAre("background 000000", "interval Timer2 0",
                                              "interval Timer1 0", "interval Timer3 0"));
}

TEST(Resets, StartRunsTimersFirstThenSizesAndClearsAndZeroesTheScores) {
  Rig rig;
  Scramble(rig.s);
  rig.StartMatch();
  ExpectRoundReset(rig.s);
  EXPECT_EQ(rig.s.RightScore, 0);
  EXPECT_EQ(rig.s.LeftScore, 0);
  EXPECT_EQ(rig.s.HitMute, 0);
  EXPECT_THAT(rig.log.lines,
              ElementsAre("interval Timer2 50", "interval Timer3 50", "interval Timer1 50",
                          "client 400x300", "background 000000", "clear"));
}

TEST(Resets, ContinueClearsThenRunsTimersAndKeepsTheScores) {
  Rig rig;
  Scramble(rig.s);
  Continue(rig.match);
  ExpectRoundReset(rig.s);
  EXPECT_EQ(rig.s.RightScore, 2);
  EXPECT_EQ(rig.s.LeftScore, 1);
  EXPECT_EQ(rig.s.HitMute, 0);
  EXPECT_THAT(rig.log.lines, ElementsAre("background 000000", "clear", "interval Timer2 50",
                                         "interval Timer1 50", "interval Timer3 50"));
}

TEST(Resets, FieldIsClearedAfterTheCasualtyAndBeforeTheStar) {
  for (bool viaStart : {true, false}) {
    Rig rig;
    Scramble(rig.s);
    if (viaStart)
      rig.StartMatch();
    else
      Continue(rig.match);
    ASSERT_TRUE(rig.recorder.stateAtClear.has_value());
    const MatchState& at = *rig.recorder.stateAtClear;
    EXPECT_EQ(at.RightY, 200);
    EXPECT_EQ(at.SpinB, 8);
    EXPECT_EQ(at.RightWreckX, 100);
    EXPECT_EQ(at.LeftDown, 0);
    EXPECT_EQ(at.Casualty, 0);
    EXPECT_EQ(at.StarANum, 35) << "the star is reset after the clear";
    EXPECT_EQ(at.StarMode, 2);
    EXPECT_EQ(at.Charge, 100);
    EXPECT_EQ(at.RoundOver, 1);
  }
}

TEST(Resets, ResetRoundLeavesScoresAndMuteToTheEntryPoints) {
  Rig rig;
  Scramble(rig.s);
  ResetRound(rig.match);
  ExpectRoundReset(rig.s);
  EXPECT_EQ(rig.s.RightScore, 2);
  EXPECT_EQ(rig.s.LeftScore, 1);
  EXPECT_EQ(rig.s.HitMute, 1);
  EXPECT_TRUE(rig.log.With("clear").empty());
  EXPECT_TRUE(rig.log.Intervals().empty());
}

TEST(Resets, ResetWreckTouchesOneSideAndNotTheRoundFlag) {
  Rig rig;
  Scramble(rig.s);
  const MatchState before = rig.s;
  ResetWreck(rig.match, Side::Right);
  EXPECT_EQ(rig.s.RightWreckPhase, 1);
  EXPECT_EQ(rig.s.RightWreckTicks, 1);
  EXPECT_EQ(rig.s.RightWreckX, 100);
  EXPECT_EQ(rig.s.RightWreckDX[0], 0);
  EXPECT_EQ(rig.s.RightDown, 0);
  MatchState rest = rig.s;
  rest.RightWreckPhase = before.RightWreckPhase;
  rest.RightWreckTicks = before.RightWreckTicks;
  rest.RightWreckX = before.RightWreckX;
  rest.RightWreckY = before.RightWreckY;
  rest.RightWreckDX = before.RightWreckDX;
  rest.RightWreckDY = before.RightWreckDY;
  rest.RightDown = before.RightDown;
  EXPECT_EQ(rest, before) << "nothing but the right wreck and its Down flag changed";
}

TEST(Resets, StartDuringPlayBeginsANewMatchAtTheSamePace) {
  Rig rig;
  rig.StartMatch();
  rig.s.LeftScore = 2;
  rig.Down(VkS);
  rig.Fire(20);
  rig.log.Clear();
  rig.StartMatch();
  EXPECT_EQ(rig.s.LeftScore, 0);
  EXPECT_EQ(rig.s.LeftBeamState, 0);
  EXPECT_EQ(rig.s.LeftBeamX, 30) << "the beam in flight is gone";
  EXPECT_TRUE(rig.Running());
  for (int x = 0; x < FieldWidth; ++x)
    for (int y = 0; y < FieldHeight; ++y) ASSERT_FALSE(rig.sim.field.IsWhite(x, y));
  EXPECT_EQ(rig.Fire(3), 3);
}

}  // namespace
}  // namespace kavarin

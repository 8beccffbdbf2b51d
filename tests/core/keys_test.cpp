#include <gtest/gtest.h>

#include "recorder.h"

namespace kavarin {
namespace {

TEST(Keys, MovementKeysSetTheThrustOfTheirSide) {
  struct Case {
    int32_t key;
    int32_t right, left;
  };
  const Case cases[] = {{191, 1, 0}, {219, -1, 0}, {221, -1, 0},
                        {88, 0, 1},  {81, 0, -1},  {65, 0, -1}};
  for (const Case& c : cases) {
    Rig rig;
    rig.Down(c.key);
    EXPECT_EQ(rig.s.RightThrust, c.right) << "key " << c.key;
    EXPECT_EQ(rig.s.LeftThrust, c.left) << "key " << c.key;
    EXPECT_TRUE(rig.log.lines.empty()) << "a key handler draws nothing";
  }
}

TEST(Keys, TheLaterKeyWinsAndAnyMovementKeyUpReleasesItsSide) {
  Rig rig;
  rig.Down(VkA);
  rig.Down(VkX);
  EXPECT_EQ(rig.s.LeftThrust, 1);
  rig.Up(VkQ);  // a key that was never pressed still releases the side
  EXPECT_EQ(rig.s.LeftThrust, 0);

  for (int32_t up : {VkOem2, VkOem4, VkOem6}) {
    rig.Down(VkOem6);
    rig.Down(VkOem2);
    rig.Up(up);
    EXPECT_EQ(rig.s.RightThrust, 0) << "key up " << up;
  }
  for (int32_t up : {VkX, VkA, VkQ}) {
    rig.Down(VkQ);
    rig.Up(up);
    EXPECT_EQ(rig.s.LeftThrust, 0) << "key up " << up;
  }
  // One side's keys never touch the other side.
  rig.Down(VkOem2);
  rig.Down(VkA);
  rig.Up(VkX);
  EXPECT_EQ(rig.s.RightThrust, 1);
  rig.Up(VkOem4);
  rig.Down(VkA);
  EXPECT_EQ(rig.s.LeftThrust, -1);
  EXPECT_EQ(rig.s.RightThrust, 0);
}

TEST(Keys, FireRaisesARequestOnlyWhenTheBeamIsIdle) {
  for (Side side : Sides) {
    const int32_t key = side == Side::Right ? VkOem1 : VkS;
    for (int32_t before : {0, 1, 2}) {
      Rig rig;
      int32_t& state = FieldsOf(rig.s, side).BeamState;
      state = before;
      rig.Down(key);
      EXPECT_EQ(state, before == 0 ? 1 : before) << "from state " << before;
      state = before;
      rig.Up(key);
      EXPECT_EQ(state, before) << "fire does nothing on key up";
    }
    Rig rig;
    rig.Down(key);
    EXPECT_EQ(FieldsOf(rig.s, Opponent(side)).BeamState, 0);
  }
}

TEST(Keys, OtherKeysChangeNothing) {
  Rig rig;
  rig.StartMatch();
  rig.Fire(90);
  const MatchState before = rig.s;
  rig.log.Clear();
  for (int32_t key : {0, 1, 31, 33, 64, 66, 97, 113, 187, 190, 220, 222, 255, 256, 288, 65535}) {
    rig.Down(key);
    rig.Up(key);
  }
  rig.Up(VkSpace);
  rig.Up(VkS);
  rig.Up(VkOem1);
  EXPECT_EQ(rig.s, before);
  EXPECT_TRUE(rig.log.lines.empty());
}

TEST(Keys, SpaceSetsOffTheSupernovaOnlyAboveCharge80) {
  Rig rig;
  rig.StartMatch();
  rig.log.Clear();
  rig.s.Charge = 80;
  rig.Down(VkSpace);
  EXPECT_EQ(rig.s.StarMode, 1);
  rig.s.Charge = 81;
  rig.Down(VkSpace);
  EXPECT_EQ(rig.s.StarMode, 2);
  EXPECT_EQ(rig.s.Charge, 81) << "Space does not spend the charge";
  EXPECT_TRUE(rig.Running()) << "Space while play runs never continues";
  EXPECT_TRUE(rig.log.With("clear").empty());
}

TEST(Keys, SpaceContinuesOnlyWhenAllThreeTimersAreStoppedAndBothScoresAreBelow3) {
  struct Case {
    int32_t timer1, timer2, timer3, right, left;
    bool continues;
  };
  const Case cases[] = {
      {0, 0, 0, 0, 0, true},   {0, 0, 0, 2, 2, true},   {50, 0, 0, 0, 0, false},
      {0, 50, 0, 0, 0, false}, {0, 0, 50, 0, 0, false}, {0, 0, 0, 3, 0, false},
      {0, 0, 0, 0, 3, false},  {0, 0, 0, 3, 3, false},  {0, 0, 0, 4, 1, false},
  };
  for (const Case& c : cases) {
    Rig rig;
    rig.sim.timers[TimerId::Timer1] = c.timer1;
    rig.sim.timers[TimerId::Timer2] = c.timer2;
    rig.sim.timers[TimerId::Timer3] = c.timer3;
    rig.s.RightScore = c.right;
    rig.s.LeftScore = c.left;
    rig.s.RightY = 17;  // something Continue would put back
    rig.Down(VkSpace);
    const bool continued = rig.s.RightY == 200;
    EXPECT_EQ(continued, c.continues)
        << c.timer1 << c.timer2 << c.timer3 << " " << c.right << ":" << c.left;
    EXPECT_EQ(!rig.log.With("clear").empty(), c.continues);
    EXPECT_EQ(rig.s.RightScore, c.right);
    EXPECT_EQ(rig.s.LeftScore, c.left);
  }
}

TEST(Keys, SpaceThatContinuesLeavesTheStarCalm) {
  Rig rig;
  rig.s.Charge = 100;  // a charged star frozen at the end of the last round
  rig.Down(VkSpace);
  EXPECT_TRUE(rig.Running());
  EXPECT_EQ(rig.s.StarMode, 1);
  EXPECT_EQ(rig.s.Charge, 1);
}

TEST(Keys, RequestsAndThrustsDoNotSurviveAReset) {
  Rig rig;
  rig.Down(VkS);
  rig.Down(VkOem1);
  rig.Down(VkX);
  rig.Down(VkOem6);
  rig.Down(VkSpace);  // continues: the first round begins
  EXPECT_EQ(rig.s.LeftBeamState, 0);
  EXPECT_EQ(rig.s.RightBeamState, 0);
  EXPECT_EQ(rig.s.LeftThrust, 0);
  EXPECT_EQ(rig.s.RightThrust, 0);
  rig.log.Clear();
  rig.Fire();
  EXPECT_TRUE(rig.log.Cues().empty()) << "no beam launches in the first tick";
}

TEST(Keys, HeldFireKeyFiresAgainAsSoonAsTheBeamIsGone) {
  Rig rig;
  rig.StartMatch();
  rig.s.RightY = 20;  // out of the beam's way
  int launches = 0;
  int firstRelaunch = 0;
  for (int tick = 1; tick <= 40; ++tick) {
    rig.Down(VkS);  // key repeat before every tick
    rig.log.Clear();
    rig.Fire();
    if (!rig.log.Cues().empty() && ++launches == 2) firstRelaunch = tick;
  }
  EXPECT_EQ(firstRelaunch, 38) << "the first beam is on the field for 37 ticks";
}

}  // namespace
}  // namespace kavarin

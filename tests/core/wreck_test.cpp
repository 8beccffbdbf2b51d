#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "mechanics/wreck.h"
#include "recorder.h"

namespace kavarin {
namespace {

using ::testing::IsSupersetOf;

// A started match in which the opponent's beam is one step from `target`'s hit column, level
// with the ship; the next tick (tick 0 of the wreck) destroys the ship.
// The ship moves on at `speed`, held there by a momentum on that speed's threshold.
void AboutToHit(Rig& rig, Side target, int32_t y, int32_t speed, int32_t momentum) {
  rig.StartMatch();
  const auto ship = FieldsOf(rig.s, target);
  const auto beam = FieldsOf(rig.s, Opponent(target));
  ship.Y = y;
  ship.Speed = speed;
  ship.Momentum = momentum;
  beam.BeamState = 2;
  beam.BeamX = target == Side::Right ? 370 : 30;
  beam.BeamY = y;
  beam.BeamDY = 0;
}

std::string Seg(int x1, int y1, int x2, int y2) {
  return "polyline FFFFFF " + std::to_string(x1) + "," + std::to_string(y1) + " " +
         std::to_string(x2) + "," + std::to_string(y2);
}

TEST(Wreck, FliesApartOnScheduleAndEndsTheRound26TicksAfterTheHit) {
  for (Side side : Sides) {
    Rig rig;
    AboutToHit(rig, side, 150, 2, 20);  // the wreck drifts with its ship
    const auto f = FieldsOf(rig.s, side);
    struct Row {
      int tick;
      int32_t ticks, phase;
    };
    const Row rows[] = {{0, 2, 2},  {7, 9, 2},  {8, 1, 3},  {9, 2, 3},
                        {16, 9, 3}, {17, 1, 4}, {25, 9, 4}, {26, 1, 1}};
    int tick = -1;
    for (const Row& r : rows) {
      while (tick < r.tick) {
        const EventLog& log = rig.TickLog();
        ++tick;
        if (tick < 26) {
          ASSERT_EQ(f.Down, 1) << "tick " << tick;
          ASSERT_EQ(f.WreckX, side == Side::Right ? 370 : 30);
          ASSERT_EQ(f.WreckY, f.Y) << "the wreck follows its ship";
          ASSERT_EQ(rig.s.RoundOver, 0) << "tick " << tick;
        }
        if (tick == 0) {
          EXPECT_EQ(f.WreckDX, (WreckOffsets{-1, 13, -2, 12, 8, 16, 9, 18, 14, 16}));
          EXPECT_EQ(f.WreckDY, (WreckOffsets{1, 5, -1, -4, 8, 9, -8, -8, 8, -8}));
          EXPECT_GE(log.IndexOf("cue hakai"), 0);
        }
        if (tick == 25) {
          EXPECT_EQ(f.WreckDX, (WreckOffsets{-26, -37, -52, -63, -17, -16, 9, 18, 16, 14}));
          EXPECT_EQ(f.WreckDY, (WreckOffsets{26, 37, -26, -29, -17, -9, 17, 17, -8, 8}));
          const int32_t y0 = f.Y;
          ASSERT_EQ(y0, 150 + 26 * 2);
          if (side == Side::Right) {
            EXPECT_THAT(
                log.Polylines(),
                IsSupersetOf({Seg(344, y0 + 26, 333, y0 + 37), Seg(318, y0 - 26, 307, y0 - 29),
                              Seg(353, y0 - 17, 354, y0 - 9), Seg(379, y0 + 17, 388, y0 + 17),
                              Seg(386, y0 - 8, 384, y0 + 8)}));
          } else {
            EXPECT_THAT(log.Polylines(),
                        IsSupersetOf({Seg(56, y0 - 26, 67, y0 - 37), Seg(82, y0 + 26, 93, y0 + 29),
                                      Seg(47, y0 + 17, 46, y0 + 9), Seg(21, y0 - 17, 12, y0 - 17),
                                      Seg(14, y0 + 8, 16, y0 - 8)}));
          }
        }
        if (tick == 26) {
          EXPECT_EQ(rig.s.RoundOver, 1);
          EXPECT_EQ(f.Down, 0);
          EXPECT_EQ(f.WreckX, 100);
          EXPECT_EQ(f.WreckY, 100);
          EXPECT_EQ(f.WreckDX, WreckRestOffsets.DX);
          EXPECT_EQ(rig.s.Casualty, side == Side::Right ? 1 : 2) << "still records the loss";
          EXPECT_FALSE(rig.Running());
        }
      }
      EXPECT_EQ(f.WreckTicks, r.ticks) << "tick " << r.tick;
      EXPECT_EQ(f.WreckPhase, r.phase) << "tick " << r.tick;
    }
  }
}

TEST(Wreck, LastTickErasesTheLastPictureAndDrawsBlackAtTheNewPlace) {
  Rig rig;
  AboutToHit(rig, Side::Left, 100, -3, -27);
  rig.Fire(26);  // ticks 0 to 25
  const std::vector<DrawnPolyline> before = rig.recorder.drawn;
  std::vector<DrawnPolyline> lastWhite;
  // The last ten two-point drawings of tick 25 are the left wreck: five erased, five white.
  for (size_t i = before.size() - 5; i < before.size(); ++i) lastWhite.push_back(before[i]);
  for (const DrawnPolyline& d : lastWhite) ASSERT_EQ(d.pen, Color::White);
  rig.recorder.drawn.clear();
  rig.Fire();
  const auto& now = rig.recorder.drawn;
  // The left wreck's erase and its black picture, then the two score digits.
  ASSERT_GE(now.size(), 12u);
  EXPECT_EQ(now[now.size() - 1].points.size(), 5u);
  EXPECT_EQ(now[now.size() - 2].points.size(), 5u);
  const size_t leftWreck = now.size() - 12;
  for (size_t i = 0; i < 5; ++i) {
    EXPECT_EQ(now[leftWreck + i].pen, Color::Black);
    EXPECT_EQ(now[leftWreck + i].points, lastWhite[i].points) << "erased exactly";
    EXPECT_EQ(now[leftWreck + 5 + i].pen, Color::Black);
    EXPECT_EQ(now[leftWreck + 5 + i].points[0].y - lastWhite[i].points[0].y, -3)
        << "at the ship's new y, 3 higher";
    EXPECT_EQ(now[leftWreck + 5 + i].points[0].x, lastWhite[i].points[0].x);
  }
}

TEST(Wreck, ASecondHitLeavesTheScheduleAlone) {
  Rig once, twice;
  for (Rig* rig : {&once, &twice}) {
    AboutToHit(*rig, Side::Right, 150, 0, 0);
    rig->Fire(6);
  }
  // Another left beam arrives at the hit column while the right wreck flies (Casualty 1).
  twice.s.LeftBeamState = 2;
  twice.s.LeftBeamX = 370;
  twice.s.LeftBeamY = 140;
  twice.log.Clear();
  once.Fire();
  twice.Fire();
  EXPECT_EQ(twice.log.Cues(), std::vector<std::string>{"cue hakai"});
  EXPECT_EQ(twice.s.RightWreckPhase, once.s.RightWreckPhase);
  EXPECT_EQ(twice.s.RightWreckTicks, once.s.RightWreckTicks);
  EXPECT_EQ(twice.s.RightWreckDX, once.s.RightWreckDX);
  EXPECT_EQ(twice.s.RightWreckDY, once.s.RightWreckDY);
  once.Fire(30);
  twice.Fire(30);
  EXPECT_EQ(twice.s.LeftScore, 1);
  EXPECT_EQ(once.s.LeftScore, 1);
}

TEST(Wreck, AnIdleWreckIsDrawnOnlyInBlackAtItsRestPlace) {
  Rig rig;
  rig.StartMatch();
  rig.log.Clear();
  UpdateWreck(rig.match, Side::Left);
  const std::vector<std::string> rest = OutlineLines(100, 100, -1, Color::Black);
  std::vector<std::string> expect = rest;
  expect.insert(expect.end(), rest.begin(), rest.end());
  EXPECT_EQ(rig.log.Polylines(), expect);
  EXPECT_EQ(rig.s.LeftWreckPhase, 1);
  EXPECT_EQ(rig.s.LeftWreckTicks, 1);
  EXPECT_EQ(rig.s.LeftWreckDX, WreckRestOffsets.DX);
}

}  // namespace
}  // namespace kavarin

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "mechanics/ship.h"
#include "recorder.h"

namespace kavarin {
namespace {

// The five lines of a ship with its nose at (370, y) or (30, y), as seen on screen.
std::vector<std::string> ShipLines(Side side, int32_t y, Color pen) {
  const std::string c(ColorText(pen));
  auto line = [&](int x1, int y1, int x2, int y2) {
    return "polyline " + c + " " + std::to_string(x1) + "," + std::to_string(y1) + " " +
           std::to_string(x2) + "," + std::to_string(y2);
  };
  if (side == Side::Right)
    return {line(370, y, 385, y + 3), line(370, y, 385, y - 3), line(379, y + 9, 388, y + 9),
            line(379, y - 9, 388, y - 9), line(385, y + 9, 385, y - 9)};
  return {line(30, y, 15, y - 3), line(30, y, 15, y + 3), line(21, y - 9, 12, y - 9),
          line(21, y + 9, 12, y + 9), line(15, y - 9, 15, y + 9)};
}

std::vector<std::string> Concat(std::vector<std::string> a, const std::vector<std::string>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

TEST(Ship, ThrustFromRestBuildsSpeedOnlyAtThresholdsAndReverses) {
  for (Side side : Sides) {
    Rig rig;
    const auto f = FieldsOf(rig.s, side);
    f.Thrust = 1;
    struct Row {
      int tick, momentum, speed, y;
    };
    const Row rows[] = {{1, 1, 0, 200},   {9, 9, 0, 200},   {10, 10, 1, 200}, {11, 11, 1, 201},
                        {20, 20, 2, 210}, {27, 27, 3, 224}, {33, 33, 4, 242}, {38, 38, 5, 262},
                        {42, 42, 6, 282}, {45, 45, 7, 300}, {46, 46, 7, 7},   {51, 48, 7, 42}};
    int tick = 0;
    for (const Row& r : rows) {
      while (tick < r.tick) UpdateShip(rig.match, side), ++tick;
      EXPECT_EQ(f.Momentum, r.momentum) << "tick " << r.tick;
      EXPECT_EQ(f.Speed, r.speed) << "tick " << r.tick;
      EXPECT_EQ(f.Y, r.y) << "tick " << r.tick;
    }
    // Held at top speed the momentum cycles 48, 49, 50 and never slows the ship.
    for (int i = 0; i < 30; ++i) {
      UpdateShip(rig.match, side);
      EXPECT_GE(f.Momentum, 48);
      EXPECT_EQ(f.Speed, 7);
    }
    while (f.Momentum != 48) UpdateShip(rig.match, side);

    f.Thrust = -1;
    const int speedAt[][2] = {{6, 6},  {10, 5}, {15, 4}, {21, 3},
                              {28, 2}, {38, 1}, {48, 0}, {58, -1}};
    tick = 0;
    for (const auto& e : speedAt) {
      while (tick < e[0] - 1) UpdateShip(rig.match, side), ++tick;
      EXPECT_NE(f.Speed, e[1]) << "reverse tick " << e[0] << " comes one tick early";
      UpdateShip(rig.match, side), ++tick;
      EXPECT_EQ(f.Speed, e[1]) << "reverse tick " << e[0];
    }
  }
}

TEST(Ship, SpeedChangesOnlyAtExactThresholds) {
  Rig rig;
  // Released at momentum 15 on the way up: speed 1 for ever.
  rig.s.RightThrust = 1;
  for (int i = 0; i < 15; ++i) UpdateShip(rig.match, Side::Right);
  rig.s.RightThrust = 0;
  for (int i = 0; i < 400; ++i) UpdateShip(rig.match, Side::Right);
  EXPECT_EQ(rig.s.RightMomentum, 15);
  EXPECT_EQ(rig.s.RightSpeed, 1);
  // Released at momentum 5 on the way up from rest: the ship never moves.
  rig.s.LeftThrust = 1;
  for (int i = 0; i < 5; ++i) UpdateShip(rig.match, Side::Left);
  rig.s.LeftThrust = 0;
  for (int i = 0; i < 100; ++i) UpdateShip(rig.match, Side::Left);
  EXPECT_EQ(rig.s.LeftY, 200);
  EXPECT_EQ(rig.s.LeftSpeed, 0);
  // On the way down from 48, 44 and 43 still go with speed 7.
  rig.s.RightMomentum = 48;
  rig.s.RightSpeed = 7;
  rig.s.RightThrust = -1;
  for (int i = 0; i < 5; ++i) {
    UpdateShip(rig.match, Side::Right);
    EXPECT_EQ(rig.s.RightSpeed, 7) << "momentum " << rig.s.RightMomentum;
  }
  UpdateShip(rig.match, Side::Right);
  EXPECT_EQ(rig.s.RightMomentum, 42);
  EXPECT_EQ(rig.s.RightSpeed, 6);
}

TEST(Ship, WrapsAtTheTopAndBottom) {
  struct Case {
    int32_t y, speed, expect;
  };
  const Case cases[] = {{1, -1, 300}, {300, 1, 1}, {300, 0, 300}, {3, -7, 296},
                        {296, 7, 3},  {8, -7, 1},  {293, 7, 300}};
  for (Side side : Sides) {
    for (const Case& c : cases) {
      Rig rig;
      const auto f = FieldsOf(rig.s, side);
      f.Y = c.y;
      f.Speed = c.speed;
      UpdateShip(rig.match, side);
      EXPECT_EQ(f.Y, c.expect) << c.y << " at speed " << c.speed;
    }
  }
}

TEST(Ship, MomentumIsClampedAfterTheSpeedIsChosen) {
  Rig rig;
  rig.s.RightMomentum = 50;
  rig.s.RightSpeed = 5;  // not what a real run would give, so a changed speed would show
  rig.s.RightThrust = 1;
  UpdateShip(rig.match, Side::Right);
  EXPECT_EQ(rig.s.RightMomentum, 48);
  EXPECT_EQ(rig.s.RightSpeed, 5);

  rig.s.LeftMomentum = -50;
  rig.s.LeftSpeed = -3;
  rig.s.LeftThrust = -1;
  UpdateShip(rig.match, Side::Left);
  EXPECT_EQ(rig.s.LeftMomentum, -48);
  EXPECT_EQ(rig.s.LeftSpeed, -3);

  rig.s.RightMomentum = 50;
  rig.s.RightThrust = 0;
  UpdateShip(rig.match, Side::Right);
  EXPECT_EQ(rig.s.RightMomentum, 50);
}

TEST(Ship, IsErasedAtTheOldPlaceAndDrawnAtTheNew) {
  for (Side side : Sides) {
    Rig rig;
    FieldsOf(rig.s, side).Speed = -4;
    UpdateShip(rig.match, side);
    EXPECT_EQ(rig.log.Polylines(),
              Concat(ShipLines(side, 200, Color::Black), ShipLines(side, 196, Color::White)));
    EXPECT_EQ(rig.log.lines.front(), "pen 000000");
  }
}

TEST(Ship, ADestroyedShipMovesUnderItsKeysButIsDrawnBlack) {
  Rig rig;
  rig.s.LeftDown = 1;
  rig.s.LeftSpeed = 2;
  rig.s.LeftThrust = 1;
  rig.s.LeftMomentum = 9;
  UpdateShip(rig.match, Side::Left);
  EXPECT_EQ(rig.s.LeftY, 202);
  EXPECT_EQ(rig.s.LeftSpeed, 1);
  EXPECT_EQ(rig.log.Polylines(), Concat(ShipLines(Side::Left, 200, Color::Black),
                                        ShipLines(Side::Left, 202, Color::Black)));
}

TEST(Ship, ShipAtTheBottomEdgeShowsOnlyItsUpperHalf) {
  Rig rig;
  rig.s.RightY = 300;
  UpdateShip(rig.match, Side::Right);
  const Field& field = rig.sim.field;
  EXPECT_TRUE(field.IsWhite(385, 292));  // back bar, drawn upwards
  EXPECT_TRUE(field.IsWhite(379, 291));  // upper fin
  EXPECT_FALSE(field.IsWhite(385, 1));   // nothing wraps round to the top
  EXPECT_FALSE(field.IsWhite(379, 8));
}

}  // namespace
}  // namespace kavarin

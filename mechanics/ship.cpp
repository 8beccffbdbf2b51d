#include "mechanics/ship.h"

#include <utility>

namespace kavarin {

// Past these the momentum is put back a little, so a held key keeps cycling 48, 49, 50 at top
// speed without ever passing back through a threshold.
constexpr int32_t MomentumLimit = 50;
constexpr int32_t MomentumAfterLimit = 48;

void DrawShip(Match& match, Side side, Color color) {
  const int32_t x = NoseX[side];
  const int32_t y = FieldsOf(std::as_const(match.state), side).Y;
  const int32_t sign = MirrorSign[side];
  match.surface.SetPenColor(color);
  for (const ShipSegment& seg : ShipShape) {
    const std::array<Point, 2> line = {{
        {x + sign * seg.from.x, y + sign * seg.from.y},
        {x + sign * seg.to.x, y + sign * seg.to.y},
    }};
    match.surface.Polyline(line);
  }
}

void UpdateShip(Match& match, Side side) {
  const SideFields ship = FieldsOf(match.state, side);
  DrawShip(match, side, Color::Black);
  ship.Y += ship.Speed;
  ship.Momentum += ship.Thrust;
  for (const SpeedThreshold& t : SpeedThresholds) {
    if (ship.Momentum == t.momentum) ship.Speed = t.speed;
  }
  if (ship.Momentum > MomentumLimit) ship.Momentum = MomentumAfterLimit;
  if (ship.Momentum < -MomentumLimit) ship.Momentum = -MomentumAfterLimit;
  if (ship.Y < 1) ship.Y += FieldHeight;
  if (ship.Y > FieldHeight) ship.Y -= FieldHeight;
  DrawShip(match, side, ship.Down == 1 ? Color::Black : Color::White);
}

}  // namespace kavarin

#include "mechanics/ship.h"

namespace kavarin {

// Past these the momentum is put back a little, so a held key keeps cycling 48, 49, 50 at top
// speed without ever passing back through a threshold.
constexpr int32_t MomentumLimit = 50;
constexpr int32_t MomentumAfterLimit = 48;

void DrawShip(Match& match, Side side, Color color) {
  const int32_t x = NoseX[side];
  const int32_t y = match.state.*FieldsOf[side].Y;
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
  MatchState& s = match.state;
  const SideFields& f = FieldsOf[side];
  DrawShip(match, side, Color::Black);
  s.*f.Y += s.*f.Speed;
  s.*f.Momentum += s.*f.Thrust;
  for (const SpeedThreshold& t : SpeedThresholds) {
    if (s.*f.Momentum == t.momentum) s.*f.Speed = t.speed;
  }
  if (s.*f.Momentum > MomentumLimit) s.*f.Momentum = MomentumAfterLimit;
  if (s.*f.Momentum < -MomentumLimit) s.*f.Momentum = -MomentumAfterLimit;
  if (s.*f.Y < 1) s.*f.Y += FieldHeight;
  if (s.*f.Y > FieldHeight) s.*f.Y -= FieldHeight;
  DrawShip(match, side, s.*f.Down == 1 ? Color::Black : Color::White);
}

}  // namespace kavarin

#include "mechanics/wreck.h"

#include "match/resets.h"
#include "mechanics/beam.h"

namespace kavarin {

void DrawWreck(Match& match, Side side, Color color) {
  const MatchState& s = match.state;
  const SideFields& f = FieldsOf[side];
  const int32_t ox = s.*f.WreckX;
  const int32_t oy = s.*f.WreckY;
  const int32_t sign = MirrorSign[side];
  const WreckOffsets& dx = s.*f.WreckDX;
  const WreckOffsets& dy = s.*f.WreckDY;
  match.surface.SetPenColor(color);
  for (size_t p = 0; p < dx.size(); p += 2) {
    const std::array<Point, 2> line = {{
        {ox + sign * dx[p], oy + sign * dy[p]},
        {ox + sign * dx[p + 1], oy + sign * dy[p + 1]},
    }};
    match.surface.Polyline(line);
  }
}

void UpdateWreck(Match& match, Side side) {
  MatchState& s = match.state;
  const SideFields& f = FieldsOf[side];
  DrawWreck(match, side, Color::Black);
  TestBeamHit(match, side);
  if (s.*f.Down == 1) {
    s.*f.WreckTicks += 1;
    if (s.*f.WreckPhase == 1 && s.*f.WreckTicks == 2) s.*f.WreckPhase = FirstMovingPhase;
    if (s.*f.WreckTicks == TicksPerPhase) {
      s.*f.WreckPhase += 1;
      s.*f.WreckTicks = 1;
    }
    s.*f.WreckX = NoseX[side];
    s.*f.WreckY = s.*f.Y;
  }
  const int32_t phase = s.*f.WreckPhase;
  if (phase >= FirstMovingPhase && phase <= LastMovingPhase) {
    const WreckStep& step = WreckMotion[static_cast<size_t>(phase - FirstMovingPhase)];
    WreckOffsets& dx = s.*f.WreckDX;
    WreckOffsets& dy = s.*f.WreckDY;
    for (size_t p = 0; p < dx.size(); ++p) {
      dx[p] += step.DX[p];
      dy[p] += step.DY[p];
    }
  }
  const bool hidden = phase == EndPhase || s.*f.WreckX == WreckIdleOrigin.x;
  DrawWreck(match, side, hidden ? Color::Black : Color::White);
  if (phase == EndPhase) {
    ResetWreck(match, side);
    s.RoundOver = 1;
  }
}

}  // namespace kavarin

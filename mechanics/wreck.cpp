#include "mechanics/wreck.h"

#include <utility>

#include "mechanics/beam.h"

namespace kavarin {

void ResetWreck(Match& match, Side side) {
  const SideFields wreck = FieldsOf(match.state, side);
  wreck.WreckPhase = 1;
  wreck.WreckTicks = 1;
  wreck.WreckX = WreckIdleOrigin.x;
  wreck.WreckY = WreckIdleOrigin.y;
  wreck.WreckDX = WreckRestOffsets.DX;
  wreck.WreckDY = WreckRestOffsets.DY;
  wreck.Down = 0;
}

void DrawWreck(Match& match, Side side, Color color) {
  const ConstSideFields wreck = FieldsOf(std::as_const(match.state), side);
  const int32_t ox = wreck.WreckX;
  const int32_t oy = wreck.WreckY;
  const int32_t sign = MirrorSign[side];
  match.surface.SetPenColor(color);
  for (size_t p = 0; p < wreck.WreckDX.size(); p += 2) {
    const std::array<Point, 2> line = {{
        {ox + sign * wreck.WreckDX[p], oy + sign * wreck.WreckDY[p]},
        {ox + sign * wreck.WreckDX[p + 1], oy + sign * wreck.WreckDY[p + 1]},
    }};
    match.surface.Polyline(line);
  }
}

void UpdateWreck(Match& match, Side side) {
  const SideFields wreck = FieldsOf(match.state, side);
  DrawWreck(match, side, Color::Black);
  TestBeamHit(match, side);
  if (wreck.Down == 1) {
    wreck.WreckTicks += 1;
    if (wreck.WreckPhase == 1 && wreck.WreckTicks == 2) wreck.WreckPhase = FirstMovingPhase;
    if (wreck.WreckTicks == TicksPerPhase) {
      wreck.WreckPhase += 1;
      wreck.WreckTicks = 1;
    }
    // The wreck follows its ship, which keeps moving unseen.
    wreck.WreckX = NoseX[side];
    wreck.WreckY = wreck.Y;
  }
  const int32_t phase = wreck.WreckPhase;
  if (phase >= FirstMovingPhase && phase <= LastMovingPhase) {
    const WreckStep& step = WreckMotion[static_cast<size_t>(phase - FirstMovingPhase)];
    for (size_t p = 0; p < wreck.WreckDX.size(); ++p) {
      wreck.WreckDX[p] += step.DX[p];
      wreck.WreckDY[p] += step.DY[p];
    }
  }
  const bool hidden = phase == EndPhase || wreck.WreckX == WreckIdleOrigin.x;
  DrawWreck(match, side, hidden ? Color::Black : Color::White);
  if (phase == EndPhase) {
    ResetWreck(match, side);
    match.state.RoundOver = 1;
  }
}

}  // namespace kavarin

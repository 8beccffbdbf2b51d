#include "mechanics/beam.h"

#include <utility>

#include "mechanics/star.h"

namespace kavarin {

void LaunchBeam(Match& match, Side side) {
  const MatchState& s = match.state;
  const SideFields ship = FieldsOf(match.state, side);
  if (ship.BeamState != BeamRequested) return;
  ship.BeamState = BeamInFlight;
  ship.BeamY = ship.Y;
  ship.BeamX = BeamPaths[side].launchX;
  ship.BeamDY = 0;
  // While figure B stands at its blast size, beams are fired in silence.
  if (s.HitMute == 0 && s.StarBNum != StarBlastNum) match.PlayCue(CueHassha);
}

// From the head to where the head will be next tick if the step stays the same.
void DrawBeam(Match& match, Side side, Color color) {
  const ConstSideFields beam = FieldsOf(std::as_const(match.state), side);
  const std::array<Point, 2> line = {{
      {beam.BeamX, beam.BeamY},
      {beam.BeamX + BeamPaths[side].stepX, beam.BeamY + beam.BeamDY},
  }};
  match.surface.SetPenColor(color);
  match.surface.Polyline(line);
}

void FlyBeam(Match& match, Side side) {
  const SideFields beam = FieldsOf(match.state, side);
  const BeamPath& path = BeamPaths[side];
  if (beam.BeamState != BeamInFlight) return;
  DrawBeam(match, side, Color::Black);
  if (match.state.StarMode == StarCalm && beam.BeamX > path.bendAbove &&
      beam.BeamX < path.bendBelow) {
    for (const BeamBendBand& band : BeamBendBands) {
      if (beam.BeamY >= band.lowest && beam.BeamY <= band.highest) {
        beam.BeamDY += band.change;
        break;
      }
    }
  }
  beam.BeamX += path.stepX;
  beam.BeamY += beam.BeamDY;
  DrawBeam(match, side, Color::White);
  const int32_t nextX = beam.BeamX + path.stepX;
  if (nextX < 0 || nextX > FieldWidth) {
    DrawBeam(match, side, Color::Black);
    beam.BeamState = BeamIdle;
  }
}

// The beam's state is not looked at: its x stands at the hit column only in one tick of a flight.
void TestBeamHit(Match& match, Side target) {
  MatchState& s = match.state;
  const SideFields ship = FieldsOf(s, target);
  const Side shooter = Opponent(target);
  const SideFields beam = FieldsOf(s, shooter);
  const int32_t miss = beam.BeamY - ship.Y;
  if (beam.BeamX == BeamPaths[shooter].hitColumn && miss >= -HitWindow && miss <= HitWindow &&
      s.Casualty != AloneDown[Opponent(target)]) {
    ship.Down = 1;
    match.PlayCue(CueHakai);
    s.HitMute = 1;
  }
}

}  // namespace kavarin

#include "mechanics/beam.h"

namespace kavarin {

// While figure B stands at its blast size, beams are fired in silence.
constexpr int32_t BlastNum = 35;

void LaunchBeam(Match& match, Side side) {
  MatchState& s = match.state;
  const SideFields& f = FieldsOf[side];
  if (s.*f.BeamState != 1) return;
  s.*f.BeamState = 2;
  s.*f.BeamY = s.*f.Y;
  s.*f.BeamX = BeamPaths[side].launchX;
  s.*f.BeamDY = 0;
  if (s.HitMute == 0 && s.StarBNum != BlastNum) match.cues.PlayCue(CueHassha);
}

// From the head to where the head will be next tick if the step stays the same.
void DrawBeam(Match& match, Side side, Color color) {
  const MatchState& s = match.state;
  const SideFields& f = FieldsOf[side];
  const std::array<Point, 2> line = {{
      {s.*f.BeamX, s.*f.BeamY},
      {s.*f.BeamX + BeamPaths[side].stepX, s.*f.BeamY + s.*f.BeamDY},
  }};
  match.surface.SetPenColor(color);
  match.surface.Polyline(line);
}

void FlyBeam(Match& match, Side side) {
  MatchState& s = match.state;
  const SideFields& f = FieldsOf[side];
  const BeamPath& path = BeamPaths[side];
  if (s.*f.BeamState != 2) return;
  DrawBeam(match, side, Color::Black);
  if (s.StarMode == 1 && s.*f.BeamX > path.bendAbove && s.*f.BeamX < path.bendBelow) {
    for (const BeamBendBand& band : BeamBendBands) {
      if (s.*f.BeamY >= band.lowest && s.*f.BeamY <= band.highest) {
        s.*f.BeamDY += band.change;
        break;
      }
    }
  }
  s.*f.BeamX += path.stepX;
  s.*f.BeamY += s.*f.BeamDY;
  DrawBeam(match, side, Color::White);
  const int32_t nextX = s.*f.BeamX + path.stepX;
  if (nextX < 0 || nextX > FieldWidth) {
    DrawBeam(match, side, Color::Black);
    s.*f.BeamState = 0;
  }
}

void TestBeamHit(Match& match, Side target) {
  MatchState& s = match.state;
  const SideFields& ship = FieldsOf[target];
  const Side shooter = Opponent(target);
  const SideFields& beam = FieldsOf[shooter];
  const int32_t miss = s.*beam.BeamY - s.*ship.Y;
  if (s.*beam.BeamX == BeamPaths[shooter].hitColumn && miss >= -HitWindow && miss <= HitWindow &&
      s.Casualty != SparedWhileCasualty[target]) {
    s.*ship.Down = 1;
    match.cues.PlayCue(CueHakai);
    s.HitMute = 1;
  }
}

}  // namespace kavarin

#include "match/resets.h"

#include "match/sides.h"
#include "mechanics/star.h"
#include "mechanics/wreck.h"

namespace kavarin {

void ResetRound(Match& match, ClearsField clears) {
  MatchState& s = match.state;
  for (Side side : Sides) {
    const SideFields ship = FieldsOf(s, side);
    ship.Y = 200;
    ship.Thrust = 0;
    ship.Speed = 0;
    ship.Momentum = 0;
    ship.BeamState = BeamIdle;
    // A beam's x is read by the hit test whatever its state; at the nose it can never hit.
    ship.BeamX = NoseX[side];
  }
  match.observer.WindowColorSet(Color::Black);
  s.SpinA = 1;
  s.SpinB = 8;
  s.SpinClock = 1;
  ResetWreck(match, Side::Right);
  ResetWreck(match, Side::Left);
  s.Casualty = NoCasualty;
  if (clears == ClearsField::Yes) match.surface.ClearField();
  s.StarANum = StarCalmScale;
  s.StarBNum = StarCalmScale;
  s.StarADen = StarCalmScale;
  s.StarBDen = StarCalmScale;
  s.StarMode = StarCalm;
  s.StarAAfterglow = 1;
  s.StarBAfterglow = 1;
  s.Charge = 1;
  s.RoundOver = 0;
}

void FormCreate(Match& match) {
  ResetRound(match);
  match.SetIntervals(CreateOrder, StoppedInterval);
}

void Start(Match& match) {
  match.SetIntervals(StartOrder, RunningInterval);
  match.observer.ClientSizeSet(FieldWidth, FieldHeight);
  ResetRound(match, ClearsField::Yes);
  match.state.RightScore = 0;
  match.state.LeftScore = 0;
  match.state.HitMute = 0;
}

void Continue(Match& match) {
  ResetRound(match, ClearsField::Yes);
  match.SetIntervals(ContinueOrder, RunningInterval);
  match.state.HitMute = 0;
}

}  // namespace kavarin

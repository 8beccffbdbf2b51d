#include "match/resets.h"

namespace kavarin {

void ResetWreck(Match& match, Side side) {
  MatchState& s = match.state;
  const SideFields& f = FieldsOf[side];
  s.*f.WreckPhase = 1;
  s.*f.WreckTicks = 1;
  s.*f.WreckX = WreckIdleOrigin.x;
  s.*f.WreckY = WreckIdleOrigin.y;
  s.*f.WreckDX = WreckRestOffsets.DX;
  s.*f.WreckDY = WreckRestOffsets.DY;
  s.*f.Down = 0;
}

void ResetRound(Match& match, ClearsField clears) {
  MatchState& s = match.state;
  s.RightY = 200;
  s.LeftY = 200;
  s.RightThrust = 0;
  s.LeftThrust = 0;
  match.surface.SetBackgroundColor(Color::Black);
  s.RightSpeed = 0;
  s.LeftSpeed = 0;
  s.RightMomentum = 0;
  s.LeftMomentum = 0;
  s.RightBeamState = 0;
  s.LeftBeamState = 0;
  s.RightBeamX = NoseX[Side::Right];
  s.LeftBeamX = NoseX[Side::Left];
  s.SpinA = 1;
  s.SpinB = 8;
  s.SpinClock = 1;
  ResetWreck(match, Side::Right);
  ResetWreck(match, Side::Left);
  s.Casualty = 0;
  if (clears == ClearsField::Yes) match.surface.ClearField();
  s.StarANum = 20;
  s.StarBNum = 20;
  s.StarADen = 20;
  s.StarBDen = 20;
  s.StarMode = 1;
  s.StarAAfterglow = 1;
  s.StarBAfterglow = 1;
  s.Charge = 1;
  s.RoundOver = 0;
}

void FormCreate(Match& match) {
  ResetRound(match);
  SetIntervals(match.timers, CreateOrder, StoppedInterval);
}

void Start(Match& match) {
  SetIntervals(match.timers, StartOrder, RunningInterval);
  match.surface.SetClientSize(FieldWidth, FieldHeight);
  ResetRound(match, ClearsField::Yes);
  match.state.RightScore = 0;
  match.state.LeftScore = 0;
  match.state.HitMute = 0;
}

void Continue(Match& match) {
  ResetRound(match, ClearsField::Yes);
  SetIntervals(match.timers, ContinueOrder, RunningInterval);
  match.state.HitMute = 0;
}

}  // namespace kavarin

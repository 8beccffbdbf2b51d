#include "mechanics/scoring.h"

#include "render/lettering.h"

namespace kavarin {

namespace {
constexpr Point RightScoreOrigin = {268, 50};
constexpr Point LeftScoreOrigin = {100, 50};
constexpr Point LegendOrigin = {132, 250};
}  // namespace

void UpdateCasualty(Match& match) {
  MatchState& s = match.state;
  if (s.RightDown == 1) s.Casualty = 1;
  if (s.LeftDown == 1) s.Casualty = 2;
  if (s.RightDown == 1 && s.LeftDown == 1) s.Casualty = 3;
}

void AwardPoints(Match& match) {
  MatchState& s = match.state;
  if (s.RoundOver == 1 && (s.Casualty == 1 || s.Casualty == 3)) {
    s.LeftScore += 1;
    SetIntervals(match.timers, StopOrder, StoppedInterval);
  }
  if (s.RoundOver == 1 && (s.Casualty == 2 || s.Casualty == 3)) {
    s.RightScore += 1;
    SetIntervals(match.timers, StopOrder, StoppedInterval);
  }
}

void DrawScoreboard(Match& match) {
  MatchState& s = match.state;
  if (s.RoundOver != 1) return;
  match.surface.SetPenColor(Color::White);
  s.PenX = RightScoreOrigin.x;
  s.PenY = RightScoreOrigin.y;
  DrawDigit(match, s.RightScore);
  s.PenX = LeftScoreOrigin.x;
  s.PenY = LeftScoreOrigin.y;
  DrawDigit(match, s.LeftScore);
  if (s.RightScore == WinningScore || s.LeftScore == WinningScore) {
    s.PenX = LegendOrigin.x;
    s.PenY = LegendOrigin.y;
    DrawLegend(match);
  }
}

}  // namespace kavarin

#include "mechanics/scoring.h"

#include "match/sides.h"
#include "render/lettering.h"

namespace kavarin {

namespace {
constexpr Point RightScoreOrigin = {268, 50};
constexpr Point LeftScoreOrigin = {100, 50};
constexpr Point LegendOrigin = {132, 250};

// Lettering with the pen origin kept in the match record, as the game keeps it.
void DrawDigitAt(Match& match, Point origin, int32_t value) {
  const Point pen = DrawDigit(match.surface, origin, value);
  match.state.PenX = pen.x;
  match.state.PenY = pen.y;
}
}  // namespace

void UpdateCasualty(Match& match) {
  MatchState& s = match.state;
  if (s.RightDown == 1) s.Casualty = RightShipDown;
  if (s.LeftDown == 1) s.Casualty = LeftShipDown;
  if (s.RightDown == 1 && s.LeftDown == 1) s.Casualty = BothShipsDown;
}

// Each ship down is a point for the other player; a double kill is a point each.
void AwardPoints(Match& match) {
  MatchState& s = match.state;
  for (Side side : Sides) {
    if (s.RoundOver == 1 && (s.Casualty == AloneDown[side] || s.Casualty == BothShipsDown)) {
      FieldsOf(s, Opponent(side)).Score += 1;
      match.SetIntervals(StopOrder, StoppedInterval);
    }
  }
}

void DrawScoreboard(Match& match) {
  MatchState& s = match.state;
  if (s.RoundOver != 1) return;
  match.surface.SetPenColor(Color::White);
  DrawDigitAt(match, RightScoreOrigin, s.RightScore);
  DrawDigitAt(match, LeftScoreOrigin, s.LeftScore);
  if (s.RightScore == WinningScore || s.LeftScore == WinningScore) {
    const Point pen = DrawLegend(match.surface, LegendOrigin);
    s.PenX = pen.x;
    s.PenY = pen.y;
  }
}

}  // namespace kavarin

#include "mechanics/star.h"

#include <utility>

#include "match/sides.h"
#include "render/cues.h"

namespace kavarin {

namespace {

constexpr int32_t FullCharge = 100;
constexpr int32_t CollapsedDen = 201;  // the denominator past the smallest speck, 20/200
constexpr int32_t ExpansionDen = 10;
constexpr int32_t ExpansionStartNum = 2;
constexpr int32_t LastExpansionNum = 32;
constexpr int32_t AfterglowEnd = 100;

// One figure's fields of the match record. Figure A turns one way and carries the blast test on
// the right ship; B turns the other way and carries the test on the left ship.
template <typename Int>
struct FigureFieldsOf {
  Int& Spin;
  Int& Num;
  Int& Den;
  Int& Afterglow;
  Side ship;
};

template <typename State>
auto FieldsOfFigure(State& s, StarFigure figure) {
  using Int = std::conditional_t<std::is_const_v<State>, const int32_t, int32_t>;
  if (figure == StarFigure::A)
    return FigureFieldsOf<Int>{s.SpinA, s.StarANum, s.StarADen, s.StarAAfterglow, Side::Right};
  return FigureFieldsOf<Int>{s.SpinB, s.StarBNum, s.StarBDen, s.StarBAfterglow, Side::Left};
}

void DrawFigure(Match& match, StarFigure figure, Color color) {
  const auto f = FieldsOfFigure(std::as_const(match.state), figure);
  const StarPolyline outline = StarOutline(f.Spin, f.Num, f.Den);
  match.surface.SetPenColor(color);
  match.surface.Polyline(outline);
}

}  // namespace

StarPolyline StarOutline(int32_t index, int32_t num, int32_t den) {
  // The product comes before the division, and the division truncates toward zero.
  auto S = [&](int32_t n) { return SineTable[static_cast<size_t>(n)] * num / den; };
  const int32_t i = index;
  const int32_t j = 19 - i;
  const int32_t k = i + 9;
  const int32_t m = 10 - i;
  const int32_t cx = StarCentre.x;
  const int32_t cy = StarCentre.y;
  return {{
      {cx + S(i), cy + S(j)},
      {cx + S(k), cy + S(m)},
      {cx + S(j), cy - S(i)},
      {cx + S(m), cy - S(k)},
      {cx - S(i), cy - S(j)},
      {cx - S(k), cy - S(m)},
      {cx - S(j), cy + S(i)},
      {cx - S(m), cy + S(k)},
      {cx + S(i), cy + S(j)},
  }};
}

void ChargeStar(Match& match) {
  if (match.state.Charge < FullCharge) match.state.Charge += 1;
}

void UpdateSupernova(Match& match, StarFigure figure) {
  MatchState& s = match.state;
  const auto f = FieldsOfFigure(s, figure);
  const SideFields ship = FieldsOf(s, f.ship);
  if (f.Num == StarBlastNum) {
    f.Afterglow += 1;
    if (ship.Y > BlastTop && ship.Y < BlastBottom && s.Casualty != AloneDown[Opponent(f.ship)]) {
      ship.Down = 1;
    }
  }
  if (f.Afterglow == AfterglowEnd) {
    f.Afterglow = 1;
    if (figure == StarFigure::B) s.Charge = 1;
  }
  if (f.Afterglow != 1) return;
  if (f.Num == StarBlastNum) {
    f.Num = StarCalmScale;
    f.Den = StarCalmScale;
    s.StarMode = StarCalm;
  }
  if (s.StarMode == StarSupernova && f.Num == StarCalmScale) f.Den += 1;
  if (figure == StarFigure::A && f.Den == StarCalmScale + 1) match.PlayCue(CueShuku);
  if (f.Den == CollapsedDen) {
    f.Den = ExpansionDen;
    f.Num = ExpansionStartNum;
  }
  if (f.Den == ExpansionDen) f.Num *= 2;
  if (f.Num == LastExpansionNum) {
    f.Num = StarBlastNum;
    if (figure == StarFigure::B) match.PlayCue(CueChou);
  }
}

void UpdateStar(Match& match) {
  MatchState& s = match.state;
  s.SpinClock += 1;
  if (s.SpinClock == 4) s.SpinClock = 1;

  DrawFigure(match, StarFigure::A, Color::Black);
  if (s.SpinClock == 2) {
    s.SpinA += 1;
    if (s.SpinA == 9) s.SpinA = 1;
  }
  UpdateSupernova(match, StarFigure::A);
  DrawFigure(match, StarFigure::A, Color::White);

  DrawFigure(match, StarFigure::B, Color::Black);
  if (s.SpinClock == 1) {
    s.SpinB -= 1;
    if (s.SpinB == 0) s.SpinB = 8;
  }
  UpdateSupernova(match, StarFigure::B);
  DrawFigure(match, StarFigure::B, Color::White);
}

}  // namespace kavarin

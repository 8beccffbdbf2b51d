#include "mechanics/star.h"

#include "match/sides.h"

namespace kavarin {

namespace {

constexpr int32_t FullCharge = 100;
constexpr int32_t CalmScale = 20;
constexpr int32_t CollapsedDen = 201;  // the denominator past the smallest speck, 20/200
constexpr int32_t ExpansionDen = 10;
constexpr int32_t ExpansionStartNum = 2;
constexpr int32_t LastExpansionNum = 32;
constexpr int32_t BlastNum = 35;
constexpr int32_t AfterglowEnd = 100;
// The blast spares ships within 40 pixels of the top or bottom edge.
constexpr int32_t BlastTop = 40;
constexpr int32_t BlastBottom = 260;

// Figure A turns one way and carries the blast test on the right ship; B the other way, left.
struct FigureFields {
  StateField Spin;
  StateField Num;
  StateField Den;
  StateField Afterglow;
  Side ship;
};
constexpr FigureFields FigureA = {&MatchState::SpinA, &MatchState::StarANum, &MatchState::StarADen,
                                  &MatchState::StarAAfterglow, Side::Right};
constexpr FigureFields FigureB = {&MatchState::SpinB, &MatchState::StarBNum, &MatchState::StarBDen,
                                  &MatchState::StarBAfterglow, Side::Left};

const FigureFields& FieldsOfFigure(StarFigure figure) {
  return figure == StarFigure::A ? FigureA : FigureB;
}

void DrawFigure(Match& match, const FigureFields& f, Color color) {
  const MatchState& s = match.state;
  const StarPolyline outline = StarOutline(s.*f.Spin, s.*f.Num, s.*f.Den);
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
  const FigureFields& f = FieldsOfFigure(figure);
  const SideFields& ship = FieldsOf[f.ship];
  if (s.*f.Num == BlastNum) {
    s.*f.Afterglow += 1;
    if (s.*ship.Y > BlastTop && s.*ship.Y < BlastBottom &&
        s.Casualty != SparedWhileCasualty[f.ship]) {
      s.*ship.Down = 1;
    }
  }
  if (s.*f.Afterglow == AfterglowEnd) {
    s.*f.Afterglow = 1;
    if (figure == StarFigure::B) s.Charge = 1;
  }
  if (s.*f.Afterglow != 1) return;
  if (s.*f.Num == BlastNum) {
    s.*f.Num = CalmScale;
    s.*f.Den = CalmScale;
    s.StarMode = 1;
  }
  if (s.StarMode == 2 && s.*f.Num == CalmScale) s.*f.Den += 1;
  if (figure == StarFigure::A && s.*f.Den == CalmScale + 1) match.cues.PlayCue(CueShuku);
  if (s.*f.Den == CollapsedDen) {
    s.*f.Den = ExpansionDen;
    s.*f.Num = ExpansionStartNum;
  }
  if (s.*f.Den == ExpansionDen) s.*f.Num *= 2;
  if (s.*f.Num == LastExpansionNum) {
    s.*f.Num = BlastNum;
    if (figure == StarFigure::B) match.cues.PlayCue(CueChou);
  }
}

void UpdateStar(Match& match) {
  MatchState& s = match.state;
  s.SpinClock += 1;
  if (s.SpinClock == 4) s.SpinClock = 1;

  DrawFigure(match, FigureA, Color::Black);
  if (s.SpinClock == 2) {
    s.SpinA += 1;
    if (s.SpinA == 9) s.SpinA = 1;
  }
  UpdateSupernova(match, StarFigure::A);
  DrawFigure(match, FigureA, Color::White);

  DrawFigure(match, FigureB, Color::Black);
  if (s.SpinClock == 1) {
    s.SpinB -= 1;
    if (s.SpinB == 0) s.SpinB = 8;
  }
  UpdateSupernova(match, StarFigure::B);
  DrawFigure(match, FigureB, Color::White);
}

}  // namespace kavarin

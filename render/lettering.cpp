#include "render/lettering.h"

namespace kavarin {

namespace {

void DrawGlyph(Match& match, const StrokeGlyph& glyph) {
  const int32_t ox = match.state.PenX;
  const int32_t oy = match.state.PenY;
  for (int32_t s = 0; s < glyph.strokes; ++s) {
    const Stroke& stroke = glyph.stroke[static_cast<size_t>(s)];
    std::array<Point, 9> placed{};
    for (int32_t p = 0; p < stroke.count; ++p) {
      const Point& offset = stroke.points[static_cast<size_t>(p)];
      placed[static_cast<size_t>(p)] = {ox + offset.x, oy + offset.y};
    }
    match.surface.Polyline(
        std::span<const Point>(placed.data(), static_cast<size_t>(stroke.count)));
  }
}

}  // namespace

void DrawDigit(Match& match, int32_t value) {
  if (value < 0 || value >= static_cast<int32_t>(DigitGlyphs.size())) return;
  DrawGlyph(match, DigitGlyphs[static_cast<size_t>(value)]);
}

void DrawLegend(Match& match) {
  for (const LegendLetter& l : GameOverLegend) {
    DrawGlyph(match, LetterGlyphs[l.letter]);
    match.state.PenX += l.advance;
  }
}

}  // namespace kavarin

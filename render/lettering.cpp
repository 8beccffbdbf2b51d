#include "render/lettering.h"

namespace kavarin {

namespace {

void DrawGlyph(DrawingSurface& surface, Point origin, const StrokeGlyph& glyph) {
  for (int32_t s = 0; s < glyph.strokes; ++s) {
    const Stroke& stroke = glyph.stroke[static_cast<size_t>(s)];
    std::array<Point, 9> placed{};
    for (int32_t p = 0; p < stroke.count; ++p) {
      const Point& offset = stroke.points[static_cast<size_t>(p)];
      placed[static_cast<size_t>(p)] = {origin.x + offset.x, origin.y + offset.y};
    }
    surface.Polyline(std::span<const Point>(placed.data(), static_cast<size_t>(stroke.count)));
  }
}

}  // namespace

Point DrawDigit(DrawingSurface& surface, Point origin, int32_t value) {
  if (value >= 0 && value < static_cast<int32_t>(DigitGlyphs.size()))
    DrawGlyph(surface, origin, DigitGlyphs[static_cast<size_t>(value)]);
  return origin;
}

Point DrawLegend(DrawingSurface& surface, Point origin) {
  Point pen = origin;
  for (const LegendLetter& l : GameOverLegend) {
    DrawGlyph(surface, pen, LetterGlyphs[l.letter]);
    pen.x += l.advance;
  }
  return pen;
}

}  // namespace kavarin

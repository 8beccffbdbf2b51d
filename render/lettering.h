#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "render/drawing_surface.h"
#include "render/geometry.h"

namespace kavarin {

// One stroke: a polyline of up to 9 points, offsets from the pen origin.
struct Stroke {
  int32_t count;
  std::array<Point, 9> points;
  constexpr std::span<const Point> Points() const {
    return std::span<const Point>(points.data(), static_cast<size_t>(count));
  }
};

// A character as one or two strokes, drawn in order.
struct StrokeGlyph {
  int32_t strokes;
  std::array<Stroke, 2> stroke;
};

// The score digits 0 to 3, each one stroke in a 32 x 32 cell.
constexpr std::array<StrokeGlyph, 4> DigitGlyphs = {{
    {1, {{{5, {{{0, 0}, {32, 0}, {32, 32}, {0, 32}, {0, 0}}}}}}},                       // 0
    {1, {{{5, {{{8, 0}, {16, 0}, {16, 32}, {8, 32}, {24, 32}}}}}}},                     // 1
    {1, {{{7, {{{0, 8}, {0, 0}, {32, 0}, {32, 16}, {0, 24}, {0, 32}, {32, 32}}}}}}},    // 2
    {1, {{{7, {{{0, 0}, {32, 0}, {32, 16}, {0, 16}, {32, 16}, {32, 32}, {0, 32}}}}}}},  // 3
}};

// The letters of GAME OVER in 12 x 16 cells. The R's leg ends one pixel outside its cell.
enum Letter { LetterG, LetterA, LetterM, LetterE, LetterO, LetterV, LetterR };
constexpr std::array<StrokeGlyph, 7> LetterGlyphs = {{
    {1, {{{6, {{{12, 0}, {0, 0}, {0, 16}, {12, 16}, {12, 8}, {8, 8}}}}}}},          // G
    {2, {{{3, {{{0, 16}, {6, 0}, {12, 16}}}}, {2, {{{4, 8}, {8, 8}}}}}}},           // A
    {1, {{{5, {{{0, 16}, {0, 0}, {6, 8}, {12, 0}, {12, 16}}}}}}},                   // M
    {1, {{{7, {{{12, 0}, {0, 0}, {0, 8}, {12, 8}, {0, 8}, {0, 16}, {12, 16}}}}}}},  // E
    {1, {{{5, {{{0, 0}, {12, 0}, {12, 16}, {0, 16}, {0, 0}}}}}}},                   // O
    {1, {{{3, {{{0, 0}, {6, 16}, {12, 0}}}}}}},                                     // V
    {1, {{{6, {{{0, 16}, {0, 0}, {12, 0}, {12, 8}, {0, 8}, {13, 17}}}}}}},          // R
}};

// GAME, a one-cell gap, OVER: each letter and how far the pen moves right after it.
struct LegendLetter {
  Letter letter;
  int32_t advance;
};
constexpr std::array<LegendLetter, 8> GameOverLegend = {{
    {LetterG, 16},
    {LetterA, 16},
    {LetterM, 16},
    {LetterE, 32},
    {LetterO, 16},
    {LetterV, 16},
    {LetterE, 16},
    {LetterR, 0},
}};

// Both draw with the pen colour the caller set and give back where the pen ends.
// The digit 0..3 at `origin`; any other value draws nothing. The pen stays at the origin.
Point DrawDigit(DrawingSurface& surface, Point origin, int32_t value);
// GAME OVER from `origin`, letter by letter; the pen ends at the R, 128 pixels to the right.
Point DrawLegend(DrawingSurface& surface, Point origin);

}  // namespace kavarin

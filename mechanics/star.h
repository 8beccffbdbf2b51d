#pragma once

#include <array>
#include <cstdint>

#include "match/match.h"
#include "render/geometry.h"

namespace kavarin {

// A quarter wave of radius 60 in 5-degree steps, indexed from 1 (entry 0 is unused padding).
constexpr std::array<int32_t, 20> SineTable = {
    0,                                   // (unused)
    0,  5,  10, 15, 20, 25, 30, 34, 38,  // 1..9
    42, 46, 49, 52, 54, 56, 58, 59, 59,  // 10..18
    60,                                  // 19
};

constexpr Point StarCentre = {200, 150};

// The scale of both figures (numerator and denominator) while the star is calm.
constexpr int32_t StarCalmScale = 20;
// Figure B's numerator while it stands at its full blast size.
constexpr int32_t StarBlastNum = 35;
// The blast spares ships within 40 pixels of the top or bottom edge: y <= BlastTop or
// y >= BlastBottom.
constexpr int32_t BlastTop = 40;
constexpr int32_t BlastBottom = 260;

using StarPolyline = std::array<Point, 9>;

enum class StarFigure { A, B };

// The closed outline of one figure at rotation index 1..8 and scale num/den.
StarPolyline StarOutline(int32_t index, int32_t num, int32_t den);

// First step of every tick: the supernova charge climbs to 100.
void ChargeStar(Match& match);
// Turns, rescales and redraws both figures, with the blast tests on the ships.
void UpdateStar(Match& match);
// The collapse, expansion and blast of one figure.
void UpdateSupernova(Match& match, StarFigure figure);

}  // namespace kavarin

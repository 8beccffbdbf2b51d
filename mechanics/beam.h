#pragma once

#include <array>
#include <cstdint>

#include "match/match.h"
#include "match/sides.h"
#include "render/cues.h"

namespace kavarin {

// How the calm star bends a passing beam: the change to its vertical step by the head's y.
// Tested in this order; at most one applies. A head at y <= 0 or y >= 300 is not bent.
struct BeamBendBand {
  int32_t lowest;   // inclusive
  int32_t highest;  // inclusive
  int32_t change;
};
constexpr std::array<BeamBendBand, 6> BeamBendBands = {{
    {151, 200, -4},
    {201, 250, -2},
    {251, 299, -1},
    {101, 150, +4},
    {51, 100, +2},
    {1, 50, +1},
}};

// Per-side flight: where a beam starts, its step, the band of x where it bends (exclusive), and
// the column where it can hit the ship opposite.
struct BeamPath {
  int32_t launchX;
  int32_t stepX;
  int32_t bendAbove;
  int32_t bendBelow;
  int32_t hitColumn;
};
constexpr PerSide<BeamPath> BeamPaths = {
    .right = {.launchX = 370, .stepX = -10, .bendAbove = 100, .bendBelow = 200, .hitColumn = 20},
    .left = {.launchX = 30, .stepX = 10, .bendAbove = 200, .bendBelow = 300, .hitColumn = 380},
};

// A beam's y within this many pixels of the target ship's y, either way, is a hit.
constexpr int32_t HitWindow = 14;

// A fire request becomes a beam in flight at the ship's y as this tick left it.
void LaunchBeam(Match& match, Side side);
// One tick of a beam in flight: erase, bend, advance, redraw, and end at the far edge.
void FlyBeam(Match& match, Side side);
void DrawBeam(Match& match, Side side, Color color);
// The opponent's beam against this side's ship.
void TestBeamHit(Match& match, Side target);

}  // namespace kavarin

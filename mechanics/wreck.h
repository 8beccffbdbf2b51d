#pragma once

#include <array>
#include <cstdint>

#include "match/match.h"
#include "match/sides.h"

namespace kavarin {

// What each of the twenty offsets gains per tick in phases 2, 3 and 4. The right wreck adds its
// offsets to its origin and the left one subtracts them, so the left pieces fly mirrored.
struct WreckStep {
  WreckOffsets DX;
  WreckOffsets DY;
};
constexpr std::array<WreckStep, 3> WreckMotion = {{
    //      point  0   1   2   3   4   5   6  7   8   9
    {/* phase 2 */ {-1, -2, -2, -3, -1, -2, 0, 0, -1, +1},
     /*         */ {+1, +2, -1, -1, -1, 0, +1, +1, -1, +1}},
    {/* phase 3 */ {-1, -2, -2, -3, -1, -1, 0, 0, 0, 0},
     /*         */ {+1, +1, -1, -1, -1, -1, +1, +1, -1, +1}},
    {/* phase 4 */ {-1, -2, -2, -3, -1, -1, 0, 0, +1, -1},
     /*         */ {+1, +1, -1, -1, -1, -1, +1, +1, 0, 0}},
}};

constexpr int32_t FirstMovingPhase = 2;
constexpr int32_t LastMovingPhase = 4;
constexpr int32_t EndPhase = 5;
constexpr int32_t TicksPerPhase = 10;

// Puts one side's wreck at rest at (100, 100) and clears that side's Down flag.
void ResetWreck(Match& match, Side side);

// One tick of one wreck: erase, beam hit test on its ship, advance, redraw, and at the end of the
// animation put it back at rest and mark the round over.
void UpdateWreck(Match& match, Side side);
void DrawWreck(Match& match, Side side, Color color);

}  // namespace kavarin

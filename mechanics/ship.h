#pragma once

#include <array>
#include <cstdint>

#include "match/match.h"
#include "match/sides.h"

namespace kavarin {

struct ShipSegment {
  Point from;
  Point to;
};

// The right ship as five lines, offsets from its nose; the left ship negates them.
constexpr std::array<ShipSegment, 5> ShipShape = {{
    {{0, 0}, {15, 3}},    // nose, lower edge
    {{0, 0}, {15, -3}},   // nose, upper edge
    {{9, 9}, {18, 9}},    // lower fin
    {{9, -9}, {18, -9}},  // upper fin
    {{15, 9}, {15, -9}},  // back bar
}};

// The momentum values at which the speed changes; any other momentum keeps the speed.
struct SpeedThreshold {
  int32_t momentum;
  int32_t speed;
};
constexpr std::array<SpeedThreshold, 15> SpeedThresholds = {{
    {0, 0},
    {10, 1},
    {20, 2},
    {27, 3},
    {33, 4},
    {38, 5},
    {42, 6},
    {45, 7},
    {-10, -1},
    {-20, -2},
    {-27, -3},
    {-33, -4},
    {-38, -5},
    {-42, -6},
    {-45, -7},
}};

// One tick of one ship: erase, move under its momentum, redraw (black while it is down).
void UpdateShip(Match& match, Side side);
void DrawShip(Match& match, Side side, Color color);

}  // namespace kavarin

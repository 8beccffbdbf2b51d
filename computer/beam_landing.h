#pragma once

#include <cstdint>

namespace kavarin {

// Where a beam launched from a ship at `launchY` (1..300) meets the other ship's hit column,
// 35 ticks later, while the star stays calm: the star bends every beam the same way, whichever
// side fired it. Learnt once from the game itself.
int32_t BeamLandingY(int32_t launchY);

// Frames from a launch to the tick in which the beam can hit the ship opposite.
constexpr int32_t BeamFlightFrames = 35;

}  // namespace kavarin

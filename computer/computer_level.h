#pragma once

#include <cstdint>

namespace kavarin {

// What sets the computer's levels apart: how late it sees the game, how far ahead and how widely
// it looks, how often it errs and how fast its fingers are. Nothing else: every level sees the
// same things and plays by the same rules.
struct ComputerLevel {
  int32_t delay;            // frames between a moment of the game and the computer seeing it
  int32_t planEvery;        // frames between two plans
  int32_t familiesPerPlan;  // how many of the three first thrusts each plan looks at
  int32_t horizon;          // frames each plan is simulated ahead
  int32_t switchFrames[4];  // when a two-part plan changes its thrust; 0 ends the list
  int32_t blunderPerMille;  // plans in a thousand that take a random candidate instead of the best
  int32_t keysPerSecond;    // the most key events its fingers make in a second
  int32_t guardWeight;      // how much it minds standing where the other player's next shot lands
};

constexpr int32_t LowestComputerLevel = 1;
constexpr int32_t HighestComputerLevel = 3;
constexpr int32_t DefaultComputerLevel = 2;

// The settings of level 1 (easy), 2 (fair) or 3 (strong).
const ComputerLevel& ComputerLevelOf(int32_t level);

}  // namespace kavarin

#include "computer/computer_level.h"

namespace kavarin {

// A person reacts in about 250 ms (15 frames) when new to the game and about 120 ms (7 frames)
// when practised; the strong level also looks further and more widely, and never blunders.
constexpr ComputerLevel Levels[] = {
    {.delay = 15,
     .planEvery = 8,
     .familiesPerPlan = 3,
     .horizon = 36,
     .switchFrames = {12, 0, 0, 0},
     .blunderPerMille = 150,
     .keysPerSecond = 6,
     .guardWeight = 0},
    {.delay = 11,
     .planEvery = 6,
     .familiesPerPlan = 3,
     .horizon = 40,
     .switchFrames = {10, 0, 0, 0},
     .blunderPerMille = 50,
     .keysPerSecond = 8,
     .guardWeight = 2},
    {.delay = 7,
     .planEvery = 2,
     .familiesPerPlan = 1,
     .horizon = 44,
     .switchFrames = {6, 14, 24, 0},
     .blunderPerMille = 0,
     .keysPerSecond = 10,
     .guardWeight = 4},
};

const ComputerLevel& ComputerLevelOf(int32_t level) {
  if (level < LowestComputerLevel) level = LowestComputerLevel;
  if (level > HighestComputerLevel) level = HighestComputerLevel;
  return Levels[level - LowestComputerLevel];
}

}  // namespace kavarin

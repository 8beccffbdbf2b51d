#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "computer/computer_player.h"
#include "computer/seeded_random.h"

namespace kavarin {

// A player who presses its own ship's keys and Space at random, about five times a second: the
// yardstick the weakest level must beat.
class RandomKeyPlayer {
 public:
  RandomKeyPlayer(Side side, uint64_t seed) : side_(side), random_(seed) {}
  std::span<const KeyEvent> Frame(const Simulation& now);

 private:
  Side side_;
  SeededRandom random_;
  std::vector<KeyEvent> out_;
};

}  // namespace kavarin

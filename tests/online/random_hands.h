#pragma once

// A player at the keyboard, at random: moves, fires, sets off the star, continues rounds, now and
// then presses something the game ignores, and once in a long while chooses Start.

#include <cstdint>
#include <random>
#include <vector>

#include "match/keys.h"
#include "online/input_event.h"

namespace kavarin {

class RandomHands {
 public:
  explicit RandomHands(uint64_t seed) : rng_(seed) {}

  // The events made during one frame, as the keyboard gives them (not yet mapped to a ship).
  std::vector<InputEvent> Frame() {
    static constexpr uint16_t Movement[] = {VkA, VkQ, VkX, VkOem2, VkOem4, VkOem6};
    std::vector<InputEvent> events;
    std::uniform_int_distribution<int> roll(0, 9999);
    for (int tries = 0; tries < 2; ++tries) {
      const int r = roll(rng_);
      if (r < 500) {
        events.push_back({r % 2 ? EventKind::KeyDown : EventKind::KeyUp, Movement[r % 6]});
      } else if (r < 900) {
        events.push_back({EventKind::KeyDown, r % 2 ? uint16_t{VkS} : uint16_t{VkOem1}});
      } else if (r < 1000) {
        events.push_back({EventKind::KeyDown, VkSpace});
      } else if (r < 1050) {
        events.push_back(
            {r % 2 ? EventKind::KeyDown : EventKind::KeyUp, static_cast<uint16_t>(roll(rng_) * 6)});
      } else if (r < 1052) {
        events.push_back({EventKind::Start, 0});
      }
    }
    return events;
  }

 private:
  std::mt19937_64 rng_;
};

}  // namespace kavarin

#pragma once

#include <cstdint>

#include "match/match.h"
#include "match/sides.h"

namespace kavarin {

// The platform's virtual key codes that the game reacts to.
enum KeyCode : int32_t {
  VkSpace = 32,  // either player: supernova, and continue between rounds
  VkA = 65,      // left: up
  VkQ = 81,      // left: up
  VkS = 83,      // left: fire
  VkX = 88,      // left: down
  VkOem1 = 186,  // right: fire (":" on a Japanese layout, ";" on a US one)
  VkOem2 = 191,  // right: down ("/")
  VkOem4 = 219,  // right: up ("[")
  VkOem6 = 221,  // right: up ("]")
};

// Each player's keys.
struct PlayerKeys {
  int32_t up;
  int32_t otherUp;
  int32_t down;
  int32_t fire;
};
constexpr PerSide<PlayerKeys> KeysOf = {
    .right = {.up = VkOem6, .otherUp = VkOem4, .down = VkOem2, .fire = VkOem1},
    .left = {.up = VkA, .otherUp = VkQ, .down = VkX, .fire = VkS},
};

// Key handlers of the main window. They only set fields that the next tick reads, except for
// Space between rounds, which runs Continue. Every other key is ignored.
void FormKeyDown(Match& match, int32_t key);
void FormKeyUp(Match& match, int32_t key);

}  // namespace kavarin

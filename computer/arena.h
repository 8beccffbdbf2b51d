#pragma once

#include <cstdint>
#include <string>

namespace kavarin {

// Who flies a ship in the arena: a computer level 1..3, or RandomKeys.
constexpr int32_t RandomKeys = 0;

struct ArenaResult {
  int64_t matches = 0;
  int64_t leftWins = 0;
  int64_t rightWins = 0;
  int64_t draws = 0;   // both reached the winning score in the same round
  int64_t frames = 0;  // ticks played, over all matches
};

// Plays `matches` whole matches from Start to game over between the two players, as fast as it
// can; Space to continue is pressed for the players between rounds. Each match's players get
// their own seeds from `seed`. A match still undecided after `FrameCap` frames ends there and
// counts as a draw, so that two players who never hit cannot keep it going for ever.
ArenaResult PlayArena(int32_t left, int32_t right, int64_t matches, uint64_t seed);

constexpr int64_t ArenaFrameCap = 60 * 60 * 30;  // half an hour of play

// "arena left=1 right=2 matches=20 left_wins=... right_wins=... draws=... frames=...".
std::string ArenaLine(int32_t left, int32_t right, const ArenaResult& result);

}  // namespace kavarin

#pragma once

// A match between a computer player and a player pressing keys at random, frame by frame as the
// arena plays it, with everything kept that the tests look at.

#include <cstdint>
#include <string>
#include <vector>

#include "computer/computer_player.h"
#include "match/match_state.h"

namespace kavarin {

// Under the sanitizers every frame costs many times as much: the tests play less there. What they
// check of the computer's strength is left to the ordinary build.
#ifdef KAVARIN_SANITIZED
constexpr bool Sanitized = true;
#else
constexpr bool Sanitized = false;
#endif

struct DuelOptions {
  int32_t level = 2;
  Side side = Side::Right;  // the computer's ship
  uint64_t seed = 1;
  uint64_t opponentSeed = 2;
  // From this frame on the random player draws from `laterSeed` instead.
  int64_t changeAt = -1;
  uint64_t laterSeed = 3;
  int64_t frames = 1200;
};

struct DuelLog {
  std::vector<std::vector<KeyEvent>> computer;  // its events, frame by frame
  std::string script;                           // the whole match as a kavarin-replay script
  std::string finalState;                       // the state line at the end
  bool continuedByComputer = false;             // its keys ever started a stopped round
};

DuelLog PlayDuel(const DuelOptions& options);

}  // namespace kavarin

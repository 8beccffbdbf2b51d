#pragma once

// Random replay scripts that play like two eager players: they fly about, fire when a shot would
// land, set off the supernova, and press Space or Start in every state of the match.

#include <array>
#include <cstdint>
#include <string>

#include "rules_model.h"

namespace kavarin_model {

// The states in which Start or Space can be pressed.
enum MatchPhase { kWaiting, kPlaying, kShipDown, kRoundOver, kGameOver, kPhaseCount };

struct Generated {
  std::string script;
  Tally tally;                            // what the script reached, as the model saw it
  std::array<int, kPhaseCount> starts{};  // `start` pressed in each phase
  std::array<int, kPhaseCount> spaces{};  // Space pressed in each phase
  int traced_ticks = 0;
  int aimed_hits = 0;  // boundary shots 14 from the ship without a wrap: each must hit
};

struct GenOptions {
  int ticks = 3000;        // running ticks to play, about
  int traced_ticks = 250;  // of which traced, about
};

Generated GenerateScript(uint32_t seed, const GenOptions& options = {});

// Directed scripts for the exact edges of the hit window, the bending bands and the blast bands,
// split into `groups` scripts.
Generated BoundaryScript(int group, int groups);

MatchPhase PhaseOf(const Model& m, bool started);

}  // namespace kavarin_model

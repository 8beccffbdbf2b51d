#pragma once

#include <cstdint>
#include <type_traits>

#include "match/match_state.h"
#include "match/play_timers.h"
#include "render/field.h"

namespace kavarin {

// The whole game as one value: everything that decides what happens next and what the field
// shows. The match record, the field's pixels with the pen colour, and the three timers'
// intervals. It holds no pointer and owns nothing, so a copy is a plain memory copy and a restored
// copy goes on exactly as the original would. The window, the replay tool, the tests and online
// play all run this value.
struct Simulation {
  MatchState state{};
  Field field{};
  TimerIntervals timers{};

  bool operator==(const Simulation&) const = default;
};

static_assert(std::is_trivially_copyable_v<Simulation>, "a copy must be a plain memory copy");
static_assert(std::has_unique_object_representations_v<Simulation>,
              "no padding: equal values are equal bytes");

// A 64-bit hash of the whole value (XXH3), the same on every machine and in every build: numbers
// are hashed as little-endian bytes whatever the host's order.
uint64_t SimulationHash(const Simulation& sim);

}  // namespace kavarin

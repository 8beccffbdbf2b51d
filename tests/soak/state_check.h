#pragma once

#include <string>
#include <vector>

#include "match/match_state.h"
#include "match/play_timers.h"

namespace kavarin::soak {

// Everything wrong with a match as it stands between two ticks: each field against the values it
// may hold there, the fields that must agree with one another, and the three timer intervals.
// Empty when all is well.
std::vector<std::string> Violations(const MatchState& s, const TimerIntervals& timers);

}  // namespace kavarin::soak

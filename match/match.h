#pragma once

#include "match/match_state.h"
#include "match/play_timers.h"
#include "render/cue_player.h"
#include "render/drawing_surface.h"

namespace kavarin {

// The match as the main window owns it: the state record and the three ways out to the
// platform. Every game procedure takes this and nothing else (besides a Side).
struct Match {
  MatchState state{};
  DrawingSurface& surface;
  CuePlayer& cues;
  PlayTimers& timers;
};

}  // namespace kavarin

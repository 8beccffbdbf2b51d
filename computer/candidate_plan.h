#pragma once

#include <cstdint>
#include <optional>

#include "match/match_state.h"
#include "match/sides.h"
#include "match/simulation.h"

namespace kavarin {

// One way the computer may play the next frames: hold one thrust, then another from `switchAt`
// on (thrust -1 up, 0 none, +1 down), and perhaps press fire at a given frame.
struct CandidatePlan {
  int32_t first = 0;
  int32_t then = 0;
  int32_t switchAt = 0;
  int32_t fireAt = -1;  // the frame of the fire key, or -1 for none

  int32_t ThrustAt(int32_t frame) const { return frame < switchAt ? first : then; }
};

// What a look ahead is worth to the computer. A kill of the other ship is worth about
// `KillValue`, the computer's own loss about minus that; sooner counts more.
constexpr int64_t KillValue = 100000;

struct Judgement {
  int32_t guardWeight = 0;  // how much standing where the other's next shot lands costs
};

// Plays `plan` for `frames` frames on `scratch`, starting from `from` (a state just before a
// frame's key events), the other ship coasting as it was seen, and judges the outcome for `me`.
// Only the game's own steps move anything: the plan's keys go through FormKeyDown and FormKeyUp,
// and the frames through the tick.
int64_t LookAhead(Simulation& scratch, const MatchState& from, const TimerIntervals& timers,
                  Side me, const CandidatePlan& plan, int32_t frames, const Judgement& judgement);

// Plays frames `from`..`to`-1 of a look ahead on `sim` with this side's thrust `thrust` (the
// thrust its keys give now is `held`, and is kept up to date). Returns the outcome if a ship was
// destroyed meanwhile, as LookAhead judges it.
std::optional<int64_t> PlayFrames(Simulation& sim, Side me, int32_t thrust, int32_t from,
                                  int32_t to, int32_t& held);
// The outcome of a look ahead that lasted to its end with both ships flying.
int64_t JudgeStanding(const MatchState& s, Side me, const Judgement& judgement);

// How far `y` is from the rows the blast spares; 0 inside them.
int32_t DistanceFromShelter(int32_t y);

// Frames until the supernova's blast begins; 0 while it burns, -1 while the star is calm.
int32_t FramesToBlast(const MatchState& s);

}  // namespace kavarin

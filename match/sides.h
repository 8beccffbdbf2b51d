#pragma once

#include <cstdint>

#include "match/match_state.h"

namespace kavarin {

// Which ship, with its beam and its wreck, an operation acts on. The right ship sits at x 370
// and fires leftwards; the left ship sits at x 30 and fires rightwards.
enum class Side : int { Right = 0, Left = 1 };

constexpr Side Sides[] = {Side::Right, Side::Left};

constexpr int SideIndex(Side side) {
  return static_cast<int>(side);
}
constexpr Side Opponent(Side side) {
  return side == Side::Right ? Side::Left : Side::Right;
}

// A per-side table: entry 0 for the right side, entry 1 for the left.
template <typename T>
struct PerSide {
  T right;
  T left;
  constexpr const T& operator[](Side side) const { return side == Side::Right ? right : left; }
};

using StateField = int32_t MatchState::*;
using StateOffsets = WreckOffsets MatchState::*;

// The fields of one side in MatchState, so that each step is written once for both sides.
struct SideFields {
  StateField Y;
  StateField Thrust;
  StateField Speed;
  StateField Momentum;
  StateField Down;
  StateField BeamState;
  StateField BeamX;
  StateField BeamY;
  StateField BeamDY;
  StateField WreckPhase;
  StateField WreckTicks;
  StateOffsets WreckDX;
  StateOffsets WreckDY;
  StateField WreckX;
  StateField WreckY;
  StateField Score;
};

constexpr PerSide<SideFields> FieldsOf = {
    .right = {&MatchState::RightY, &MatchState::RightThrust, &MatchState::RightSpeed,
              &MatchState::RightMomentum, &MatchState::RightDown, &MatchState::RightBeamState,
              &MatchState::RightBeamX, &MatchState::RightBeamY, &MatchState::RightBeamDY,
              &MatchState::RightWreckPhase, &MatchState::RightWreckTicks, &MatchState::RightWreckDX,
              &MatchState::RightWreckDY, &MatchState::RightWreckX, &MatchState::RightWreckY,
              &MatchState::RightScore},
    .left = {&MatchState::LeftY, &MatchState::LeftThrust, &MatchState::LeftSpeed,
             &MatchState::LeftMomentum, &MatchState::LeftDown, &MatchState::LeftBeamState,
             &MatchState::LeftBeamX, &MatchState::LeftBeamY, &MatchState::LeftBeamDY,
             &MatchState::LeftWreckPhase, &MatchState::LeftWreckTicks, &MatchState::LeftWreckDX,
             &MatchState::LeftWreckDY, &MatchState::LeftWreckX, &MatchState::LeftWreckY,
             &MatchState::LeftScore},
};

// The x of each ship's nose: the point nearest the field's centre.
constexpr PerSide<int32_t> NoseX = {.right = 370, .left = 30};

// Shapes are given for the right side; the left side is the point mirror, offsets negated.
constexpr PerSide<int32_t> MirrorSign = {.right = 1, .left = -1};

// `Casualty` while only this side's opponent is down: this side can then no longer be destroyed.
constexpr PerSide<int32_t> SparedWhileCasualty = {.right = 2, .left = 1};

}  // namespace kavarin

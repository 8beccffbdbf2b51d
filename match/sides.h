#pragma once

#include <cstdint>
#include <type_traits>

#include "match/match_state.h"

namespace kavarin {

// Which ship, with its beam and its wreck, an operation acts on. The right ship sits at x 370
// and fires leftwards; the left ship sits at x 30 and fires rightwards.
enum class Side : int { Right = 0, Left = 1 };

constexpr Side Sides[] = {Side::Right, Side::Left};

constexpr Side Opponent(Side side) {
  return side == Side::Right ? Side::Left : Side::Right;
}

// A per-side table of constants: one entry for the right side, one for the left.
template <typename T>
struct PerSide {
  T right;
  T left;
  constexpr const T& operator[](Side side) const { return side == Side::Right ? right : left; }
};

// One side's fields of the match record, by name: `ship.Y` is `RightY` or `LeftY`. A step makes
// one where it begins and then reads like the code of a single ship.
template <typename Int, typename Offsets>
struct SideFieldsOf {
  Int& Y;
  Int& Thrust;
  Int& Speed;
  Int& Momentum;
  Int& Down;
  Int& BeamState;
  Int& BeamX;
  Int& BeamY;
  Int& BeamDY;
  Int& WreckPhase;
  Int& WreckTicks;
  Offsets& WreckDX;
  Offsets& WreckDY;
  Int& WreckX;
  Int& WreckY;
  Int& Score;
};
using SideFields = SideFieldsOf<int32_t, WreckOffsets>;
using ConstSideFields = SideFieldsOf<const int32_t, const WreckOffsets>;

template <typename State>
constexpr auto FieldsOf(State& s, Side side) {
  using Fields = std::conditional_t<std::is_const_v<State>, ConstSideFields, SideFields>;
  if (side == Side::Right) {
    return Fields{s.RightY,       s.RightThrust,     s.RightSpeed,      s.RightMomentum,
                  s.RightDown,    s.RightBeamState,  s.RightBeamX,      s.RightBeamY,
                  s.RightBeamDY,  s.RightWreckPhase, s.RightWreckTicks, s.RightWreckDX,
                  s.RightWreckDY, s.RightWreckX,     s.RightWreckY,     s.RightScore};
  }
  return Fields{s.LeftY,       s.LeftThrust,     s.LeftSpeed,      s.LeftMomentum,
                s.LeftDown,    s.LeftBeamState,  s.LeftBeamX,      s.LeftBeamY,
                s.LeftBeamDY,  s.LeftWreckPhase, s.LeftWreckTicks, s.LeftWreckDX,
                s.LeftWreckDY, s.LeftWreckX,     s.LeftWreckY,     s.LeftScore};
}

// The x of each ship's nose: the point nearest the field's centre.
constexpr PerSide<int32_t> NoseX = {.right = 370, .left = 30};

// Shapes are given for the right side; the left side is the point mirror, offsets negated.
constexpr PerSide<int32_t> MirrorSign = {.right = 1, .left = -1};

// `Casualty` while this side's ship alone is down. Then the other ship can no longer be destroyed
// this round, and at the round's end the other player scores.
constexpr PerSide<int32_t> AloneDown = {.right = RightShipDown, .left = LeftShipDown};

}  // namespace kavarin

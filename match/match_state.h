#pragma once

#include <array>
#include <cstdint>

#include "render/geometry.h"

namespace kavarin {

using WreckOffsets = std::array<int32_t, 10>;

// Everything a match remembers from one tick to the next, in one record of plain integers. The
// fields keep their declared order; the replay tool prints them in this order.
struct MatchState {
  int32_t RightY;
  int32_t LeftY;
  int32_t RightThrust;
  int32_t LeftThrust;
  int32_t RightSpeed;
  int32_t RightMomentum;
  int32_t LeftSpeed;
  int32_t LeftMomentum;
  int32_t RightBeamState;
  int32_t LeftBeamState;
  int32_t RightBeamX;
  int32_t RightBeamY;
  int32_t LeftBeamX;
  int32_t LeftBeamY;
  int32_t RightBeamDY;
  int32_t LeftBeamDY;
  int32_t SpinA;
  int32_t SpinB;
  int32_t SpinClock;
  int32_t RightWreckPhase;
  int32_t RightWreckTicks;
  int32_t LeftWreckPhase;
  int32_t LeftWreckTicks;
  WreckOffsets RightWreckDX;
  WreckOffsets RightWreckDY;
  int32_t RightWreckX;
  int32_t RightWreckY;
  WreckOffsets LeftWreckDX;
  WreckOffsets LeftWreckDY;
  int32_t LeftWreckX;
  int32_t LeftWreckY;
  int32_t RightDown;
  int32_t LeftDown;
  int32_t Casualty;
  int32_t StarANum;
  int32_t StarADen;
  int32_t StarBNum;
  int32_t StarBDen;
  int32_t StarMode;
  int32_t StarAAfterglow;
  int32_t StarBAfterglow;
  int32_t Charge;
  int32_t RoundOver;
  int32_t PenX;
  int32_t PenY;
  int32_t RightScore;
  int32_t LeftScore;
  int32_t HitMute;

  bool operator==(const MatchState&) const = default;
};

static_assert(sizeof(MatchState) == (44 + 4 * 10) * sizeof(int32_t),
              "MatchState is 44 integers and four ten-entry arrays, nothing else");

// The number of points that ends a match.
constexpr int32_t WinningScore = 3;

// `RightBeamState`, `LeftBeamState`.
constexpr int32_t BeamIdle = 0;
constexpr int32_t BeamRequested = 1;  // the fire key was pressed; the next tick launches it
constexpr int32_t BeamInFlight = 2;

// `Casualty`: who is down this round.
constexpr int32_t NoCasualty = 0;
constexpr int32_t RightShipDown = 1;
constexpr int32_t LeftShipDown = 2;
constexpr int32_t BothShipsDown = 3;

// `StarMode`.
constexpr int32_t StarCalm = 1;
constexpr int32_t StarSupernova = 2;  // set off by Space; the collapse, expansion and blast

// The wreck at rest: the five segments of the ship's outline, points 2s and 2s+1 joined.
struct WreckLayout {
  WreckOffsets DX;
  WreckOffsets DY;
};
constexpr WreckLayout WreckRestOffsets = {
    //   point 0   1  2   3  4   5   6   7  8   9
    .DX = {0, 15, 0, 15, 9, 18, 9, 18, 15, 15},
    .DY = {0, 3, 0, -3, 9, 9, -9, -9, 9, -9},
};

// Where an idle wreck is parked; an origin x of 100 marks a wreck as idle.
constexpr Point WreckIdleOrigin = {100, 100};

// Calls visit(name, field) for every field in declared order; field is an int32_t or a
// WreckOffsets. Used to print the state and to check its ranges.
template <typename State, typename Visit>
void ForEachField(State& s, Visit&& visit) {
  visit("RightY", s.RightY);
  visit("LeftY", s.LeftY);
  visit("RightThrust", s.RightThrust);
  visit("LeftThrust", s.LeftThrust);
  visit("RightSpeed", s.RightSpeed);
  visit("RightMomentum", s.RightMomentum);
  visit("LeftSpeed", s.LeftSpeed);
  visit("LeftMomentum", s.LeftMomentum);
  visit("RightBeamState", s.RightBeamState);
  visit("LeftBeamState", s.LeftBeamState);
  visit("RightBeamX", s.RightBeamX);
  visit("RightBeamY", s.RightBeamY);
  visit("LeftBeamX", s.LeftBeamX);
  visit("LeftBeamY", s.LeftBeamY);
  visit("RightBeamDY", s.RightBeamDY);
  visit("LeftBeamDY", s.LeftBeamDY);
  visit("SpinA", s.SpinA);
  visit("SpinB", s.SpinB);
  visit("SpinClock", s.SpinClock);
  visit("RightWreckPhase", s.RightWreckPhase);
  visit("RightWreckTicks", s.RightWreckTicks);
  visit("LeftWreckPhase", s.LeftWreckPhase);
  visit("LeftWreckTicks", s.LeftWreckTicks);
  visit("RightWreckDX", s.RightWreckDX);
  visit("RightWreckDY", s.RightWreckDY);
  visit("RightWreckX", s.RightWreckX);
  visit("RightWreckY", s.RightWreckY);
  visit("LeftWreckDX", s.LeftWreckDX);
  visit("LeftWreckDY", s.LeftWreckDY);
  visit("LeftWreckX", s.LeftWreckX);
  visit("LeftWreckY", s.LeftWreckY);
  visit("RightDown", s.RightDown);
  visit("LeftDown", s.LeftDown);
  visit("Casualty", s.Casualty);
  visit("StarANum", s.StarANum);
  visit("StarADen", s.StarADen);
  visit("StarBNum", s.StarBNum);
  visit("StarBDen", s.StarBDen);
  visit("StarMode", s.StarMode);
  visit("StarAAfterglow", s.StarAAfterglow);
  visit("StarBAfterglow", s.StarBAfterglow);
  visit("Charge", s.Charge);
  visit("RoundOver", s.RoundOver);
  visit("PenX", s.PenX);
  visit("PenY", s.PenY);
  visit("RightScore", s.RightScore);
  visit("LeftScore", s.LeftScore);
  visit("HitMute", s.HitMute);
}

}  // namespace kavarin

#include "computer/candidate_plan.h"

#include <cstdlib>

#include "computer/beam_landing.h"
#include "match/keys.h"
#include "match/match.h"
#include "match/tick.h"
#include "mechanics/star.h"

namespace kavarin {
namespace {

constexpr int32_t FieldRows = 300;
// Frames of the supernova from Space to its blast.
constexpr int32_t SupernovaLead = 184;

void SetThrust(Match& match, Side side, int32_t thrust) {
  const PlayerKeys& keys = KeysOf[side];
  if (thrust == 0)
    FormKeyUp(match, keys.up);
  else
    FormKeyDown(match, thrust < 0 ? keys.up : keys.down);
}

// A ship destroyed in frame t of a look ahead: sooner is worth more, either way.
std::optional<int64_t> Outcome(const MatchState& s, Side me, int32_t t) {
  const int32_t casualty = s.Casualty;
  if (casualty == BothShipsDown) return -KillValue / 4 + t;
  if (casualty == AloneDown[me]) return -KillValue + t * 100;
  if (casualty == AloneDown[Opponent(me)]) return KillValue - t * 100;
  return std::nullopt;
}

int32_t Wrapped(int32_t y) {
  y %= FieldRows;
  if (y < 1) y += FieldRows;
  return y;
}

// Rows to go, up or down and across the wrap, to a row whose shot lands within a few pixels of
// `target`; the whole field if none does.
int32_t RowsToAim(int32_t y, int32_t target) {
  constexpr int32_t Close = 8;
  for (int32_t rows = 0; rows <= FieldRows / 2; ++rows) {
    if (std::abs(BeamLandingY(Wrapped(y + rows)) - target) <= Close) return rows;
    if (std::abs(BeamLandingY(Wrapped(y - rows)) - target) <= Close) return rows;
  }
  return FieldRows / 2;
}

}  // namespace

int64_t JudgeStanding(const MatchState& s, Side me, const Judgement& judgement) {
  const ConstSideFields mine = FieldsOf(s, me);
  const ConstSideFields theirs = FieldsOf(s, Opponent(me));
  int64_t value = 0;
  const int32_t toBlast = FramesToBlast(s);
  if (toBlast >= 0) {
    // Be under shelter, and still, by the time the blast comes; the nearer it is, the more so.
    const int32_t away = DistanceFromShelter(mine.Y);
    const int64_t urgency = toBlast < 100 ? 60 : 20;
    value -= away * urgency;
    if (away == 0) value -= std::abs(mine.Speed) * (toBlast < 60 ? 80 : 20);
    return value;
  }
  // Stay off the row where a shot from the other ship, fired now, would arrive.
  if (theirs.BeamState == BeamIdle && judgement.guardWeight > 0) {
    const int32_t miss = std::abs(BeamLandingY(theirs.Y) - mine.Y);
    if (miss <= 24) value -= (25 - miss) * 10 * judgement.guardWeight;
  }
  // And head for the nearest row from which a shot of our own would meet the other ship if it
  // coasts on: the star bends every shot, so that row may be far from the ship's own.
  if (mine.BeamState == BeamIdle) {
    const int32_t there = Wrapped(theirs.Y + theirs.Speed * BeamFlightFrames);
    value += 600 - 4 * RowsToAim(mine.Y, there);
  }
  return value;
}

int32_t DistanceFromShelter(int32_t y) {
  if (y <= BlastTop || y >= BlastBottom) return 0;
  return std::min(y - BlastTop, BlastBottom - y);
}

int32_t FramesToBlast(const MatchState& s) {
  if (s.StarMode != StarSupernova) return -1;
  if (s.StarBNum == StarBlastNum) return 0;
  if (s.StarBNum == StarCalmScale) return SupernovaLead - (s.StarBDen - StarCalmScale);
  return 1;  // expanding: a frame or two
}

int64_t LookAhead(Simulation& scratch, const MatchState& from, const TimerIntervals& timers,
                  Side me, const CandidatePlan& plan, int32_t frames, const Judgement& judgement) {
  scratch.state = from;
  scratch.timers = timers;
  Match match(scratch);
  int32_t held = FieldsOf(scratch.state, me).Thrust;
  for (int32_t t = 0; t < frames; ++t) {
    const int32_t want = plan.ThrustAt(t);
    if (want != held) {
      SetThrust(match, me, want);
      held = want;
    }
    if (t == plan.fireAt) FormKeyDown(match, KeysOf[me].fire);
    if (!FireTimer(match)) break;
    if (auto outcome = Outcome(scratch.state, me, t)) return *outcome;
  }
  return JudgeStanding(scratch.state, me, judgement);
}

std::optional<int64_t> PlayFrames(Simulation& sim, Side me, int32_t thrust, int32_t from,
                                  int32_t to, int32_t& held) {
  Match match(sim);
  for (int32_t t = from; t < to; ++t) {
    if (thrust != held) {
      SetThrust(match, me, thrust);
      held = thrust;
    }
    if (!FireTimer(match)) break;
    if (auto outcome = Outcome(sim.state, me, t)) return outcome;
  }
  return std::nullopt;
}

}  // namespace kavarin

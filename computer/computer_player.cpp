#include "computer/computer_player.h"

#include <algorithm>
#include <cstdlib>

#include "match/keys.h"
#include "match/tick.h"
#include "mechanics/ship.h"

namespace kavarin {
namespace {

// A second of frames, and what one key event costs of the key budget.
constexpr int32_t FramesPerSecond = 60;
constexpr int32_t EventCost = FramesPerSecond;
// Up to three key events in quick succession, as fingers can.
constexpr int32_t BudgetCap = 3 * EventCost;
// A shot is judged over its flight and a little more.
constexpr int32_t ShotFrames = 40;
constexpr int32_t SupernovaCharge = 80;
// What keeping to the plan under way is worth against a new one.
constexpr int64_t CommitmentBonus = 80;

int32_t MomentumOfSpeed(int32_t speed) {
  for (const SpeedThreshold& t : SpeedThresholds)
    if (t.speed == speed) return t.momentum;
  return 0;
}

int32_t Sign(int32_t v) {
  return (v > 0) - (v < 0);
}

}  // namespace

MatchState AsSeenBy(const MatchState& s, Side me) {
  MatchState seen = s;
  const SideFields other = FieldsOf(seen, Opponent(me));
  other.Thrust = 0;
  other.Momentum = MomentumOfSpeed(other.Speed);
  if (other.BeamState == BeamRequested) other.BeamState = BeamIdle;
  return seen;
}

void ApplyKeys(Match& match, std::span<const KeyEvent> events) {
  for (const KeyEvent& e : events) {
    if (e.down)
      FormKeyDown(match, e.key);
    else
      FormKeyUp(match, e.key);
  }
}

ComputerPlayer::ComputerPlayer(Side side, int32_t level, uint64_t seed)
    : side_(side),
      levelNumber_(std::clamp(level, LowestComputerLevel, HighestComputerLevel)),
      level_(ComputerLevelOf(levelNumber_)),
      random_(seed),
      present_(std::make_unique<Simulation>()),
      scratch_(std::make_unique<Simulation>()),
      branch_(std::make_unique<Simulation>()) {
  out_.reserve(8);
  own_.reserve(64);
  candidates_.reserve(40);
}

ComputerPlayer::~ComputerPlayer() = default;

std::span<const KeyEvent> ComputerPlayer::Frame(const MatchState& state,
                                                const TimerIntervals& timers) {
  out_.clear();
  if (AllStopped(timers)) {
    LetGo();
    frame_ = 0;
    own_.clear();
    nextPlan_ = 0;
    wantFire_ = wantSpace_ = false;
    return out_;
  }
  history_[frame_ % HistoryLength] = {state, timers};
  keyBudget_ = std::min(BudgetCap, keyBudget_ + level_.keysPerSecond);
  if (frame_ >= level_.delay) {
    if (frame_ >= nextPlan_) {
      Plan();
      nextPlan_ = frame_ + level_.planEvery;
    }
    Act(state);
  }
  // Only what the next look back replays is kept.
  const int64_t oldest = frame_ + 1 - level_.delay;
  std::erase_if(own_, [oldest](const OwnEvent& e) { return e.frame < oldest; });
  ++frame_;
  return out_;
}

// The moment seen `delay` frames ago, brought up to now by the game itself with this player's
// own keys since then, and the other ship left coasting: all a person can know.
void ComputerPlayer::EstimatePresent() {
  const int64_t seenFrame = frame_ - level_.delay;
  const Seen& seen = history_[seenFrame % HistoryLength];
  present_->state = AsSeenBy(seen.state, side_);
  present_->timers = seen.timers;
  Match match(*present_);
  for (int64_t f = seenFrame; f < frame_; ++f) {
    for (const OwnEvent& e : own_)
      if (e.frame == f) ApplyKeys(match, std::span(&e.event, 1));
    if (!FireTimer(match)) break;
  }
}

void ComputerPlayer::Plan() {
  EstimatePresent();
  const MatchState& present = present_->state;
  const ConstSideFields mine = FieldsOf(present, side_);
  const Judgement judgement{.guardWeight = level_.guardWeight};

  // What was planned before, from where it has got to, and braking to a standstill (the speed
  // is 0 only at a momentum of exactly 0): each played ahead on its own.
  candidates_.clear();
  CandidatePlan carried = plan_;
  carried.switchAt =
      std::max<int32_t>(0, carried.switchAt - static_cast<int32_t>(frame_ - planFrame_));
  carried.fireAt = -1;
  candidates_.push_back({carried, 0});
  if (mine.Momentum != 0) {
    candidates_.push_back(
        {{.first = -Sign(mine.Momentum), .then = 0, .switchAt = std::abs(mine.Momentum)}, 0});
  }
  for (Candidate& c : candidates_) {
    c.value =
        LookAhead(*scratch_, present, present_->timers, side_, c.plan, level_.horizon, judgement);
  }
  // Then every thrust held, and every change of thrust at each of the level's moments. Plans
  // that begin alike share the frames they have in common: the trunk is played once, and each
  // change branches off a copy of it. A level that plans often looks at one first thrust a time,
  // in turn, so that no frame costs much.
  for (int32_t family = 0; family < level_.familiesPerPlan; ++family) {
    const int32_t first = familyTurn_++ % 3 - 1;
    scratch_->state = present;
    scratch_->timers = present_->timers;
    int32_t held = mine.Thrust;
    int32_t played = 0;
    std::optional<int64_t> trunkOutcome;
    for (int32_t switchAt : level_.switchFrames) {
      if (switchAt == 0 || switchAt >= level_.horizon) break;
      if (!trunkOutcome) trunkOutcome = PlayFrames(*scratch_, side_, first, played, switchAt, held);
      played = switchAt;
      for (int32_t then = -1; then <= 1; ++then) {
        if (then == first) continue;
        const CandidatePlan plan{.first = first, .then = then, .switchAt = switchAt};
        if (trunkOutcome) {
          candidates_.push_back({plan, *trunkOutcome});
          continue;
        }
        branch_->state = scratch_->state;
        branch_->timers = scratch_->timers;
        int32_t branchHeld = held;
        const auto outcome =
            PlayFrames(*branch_, side_, then, switchAt, level_.horizon, branchHeld);
        candidates_.push_back(
            {plan, outcome ? *outcome : JudgeStanding(branch_->state, side_, judgement)});
      }
    }
    if (!trunkOutcome)
      trunkOutcome = PlayFrames(*scratch_, side_, first, played, level_.horizon, held);
    candidates_.push_back(
        {{.first = first, .then = first},
         trunkOutcome ? *trunkOutcome : JudgeStanding(scratch_->state, side_, judgement)});
  }

  // A plan is kept unless another is clearly better: a plan that starts later always looks a
  // little better from a moment on, and would never start at all.
  candidates_[0].value += CommitmentBonus;
  size_t best = 0;
  int64_t bestValue = 0;
  for (size_t i = 0; i < candidates_.size(); ++i) {
    // A little noise of its own, so that equal plans are not always taken in the same order.
    const int64_t value = candidates_[i].value + random_.Below(5);
    if (i == 0 || value > bestValue) {
      best = i;
      bestValue = value;
    }
  }
  if (random_.Chance(level_.blunderPerMille))
    best = static_cast<size_t>(random_.Below(static_cast<int32_t>(candidates_.size())));
  plan_ = candidates_[best].plan;
  planFrame_ = frame_;
  DecideFire();
  DecideSupernova();
}

// Fires when the shot, played ahead with the plan just made, destroys the other ship as it
// coasts on.
void ComputerPlayer::DecideFire() {
  const MatchState& present = present_->state;
  if (FieldsOf(present, side_).BeamState != BeamIdle || fireHeld_) return;
  CandidatePlan shot = plan_;
  shot.fireAt = 0;
  const bool hits =
      LookAhead(*scratch_, present, present_->timers, side_, shot, ShotFrames, {}) >= KillValue / 2;
  // Without a sure shot for long, a shot at where the other ship would be keeps it busy.
  const bool restless = frame_ - lastShot_ > 3 * FramesPerSecond && random_.Chance(100);
  if (hits || restless) {
    wantFire_ = true;
    lastShot_ = frame_;
  }
}

// Sets off the supernova when this ship is near shelter and the other is far out in the open.
void ComputerPlayer::DecideSupernova() {
  const MatchState& present = present_->state;
  if (present.Charge <= SupernovaCharge || present.StarMode != StarCalm || spaceHeld_) return;
  const int32_t mine = DistanceFromShelter(FieldsOf(present, side_).Y);
  const int32_t theirs = DistanceFromShelter(FieldsOf(present, Opponent(side_)).Y);
  if (theirs >= 60 && mine + 40 <= theirs && random_.Chance(300)) wantSpace_ = true;
}

bool ComputerPlayer::Spend() {
  if (keyBudget_ < EventCost) return false;
  keyBudget_ -= EventCost;
  return true;
}

void ComputerPlayer::Send(bool down, int32_t key) {
  out_.push_back({down, key});
  own_.push_back({frame_, {down, key}});
}

// Presses and lets go of keys to follow the plan, as fast as the fingers allow. A fire or Space
// key goes up the frame after it went down; letting go of them costs nothing.
void ComputerPlayer::Act(const MatchState& now) {
  const PlayerKeys& keys = KeysOf[side_];
  if (fireHeld_) {
    Send(false, keys.fire);
    fireHeld_ = false;
  }
  if (spaceHeld_) {
    Send(false, VkSpace);
    spaceHeld_ = false;
  }
  // A reset (Start) let go of the thrust the key gave; the key is pressed again if still wanted.
  const int32_t heldThrust = heldMove_ == 0 ? 0 : heldMove_ == keys.down ? 1 : -1;
  if (heldMove_ != 0 && FieldsOf(now, side_).Thrust != heldThrust) {
    Send(false, heldMove_);
    heldMove_ = 0;
  }
  if (wantFire_ && Spend()) {
    Send(true, keys.fire);
    fireHeld_ = true;
    wantFire_ = false;
  }
  if (wantSpace_ && Spend()) {
    Send(true, VkSpace);
    spaceHeld_ = true;
    wantSpace_ = false;
  }
  const int32_t thrust = plan_.ThrustAt(static_cast<int32_t>(frame_ - planFrame_));
  const int32_t wanted = thrust < 0 ? keys.up : thrust > 0 ? keys.down : 0;
  if (wanted == heldMove_) return;
  if (heldMove_ != 0) {
    if (!Spend()) return;
    Send(false, heldMove_);
    heldMove_ = 0;
  }
  if (wanted != 0 && Spend()) {
    Send(true, wanted);
    heldMove_ = wanted;
  }
}

void ComputerPlayer::LetGo() {
  if (heldMove_ != 0) out_.push_back({false, heldMove_});
  if (fireHeld_) out_.push_back({false, KeysOf[side_].fire});
  if (spaceHeld_) out_.push_back({false, VkSpace});
  heldMove_ = 0;
  fireHeld_ = spaceHeld_ = false;
}

}  // namespace kavarin

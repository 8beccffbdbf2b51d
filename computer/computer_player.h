#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "computer/candidate_plan.h"
#include "computer/computer_level.h"
#include "computer/seeded_random.h"
#include "match/match.h"
#include "match/sides.h"
#include "match/simulation.h"

namespace kavarin {

// A key event as the keyboard makes it: a virtual key code going down or up.
struct KeyEvent {
  bool down;
  int32_t key;
  bool operator==(const KeyEvent&) const = default;
};

// A computer player for one ship. Every frame, before the frame's tick, it is shown the game as
// it stands, and it answers with key events of its own ship's keys and Space, which go to the
// game like a person's keys. It plays as a person would: it sees each moment of the game only
// `delay` frames later, never the other player's keys (only where their ship and beam are), and
// it makes a limited number of key presses a second. It plans by playing copies of the game
// ahead. Its choices depend only on what it has been shown and on its seed.
class ComputerPlayer {
 public:
  ComputerPlayer(Side side, int32_t level, uint64_t seed);
  ~ComputerPlayer();
  ComputerPlayer(const ComputerPlayer&) = delete;
  ComputerPlayer& operator=(const ComputerPlayer&) = delete;

  // One frame: `now` is the game just before this frame's tick. The events returned, valid until
  // the next call, are to be given to FormKeyDown and FormKeyUp in their order. While play is
  // stopped it only lets go of its keys: it never continues a round itself.
  std::span<const KeyEvent> Frame(const MatchState& state, const TimerIntervals& timers);
  std::span<const KeyEvent> Frame(const Simulation& now) { return Frame(now.state, now.timers); }

  Side PlaysSide() const { return side_; }
  int32_t Level() const { return levelNumber_; }

 private:
  // A moment of the game as the computer saw it.
  struct Seen {
    MatchState state;
    TimerIntervals timers;
  };
  struct OwnEvent {
    int64_t frame;
    KeyEvent event;
  };
  static constexpr int32_t HistoryLength = 16;  // more than the longest delay

  void Plan();
  void EstimatePresent();
  void DecideFire();
  void DecideSupernova();
  void Act(const MatchState& now);
  void Send(bool down, int32_t key);
  bool Spend();
  void LetGo();

  const Side side_;
  const int32_t levelNumber_;
  const ComputerLevel& level_;
  SeededRandom random_;

  std::array<Seen, HistoryLength> history_{};
  int64_t frame_ = 0;          // frames shown since play last ran
  std::vector<OwnEvent> own_;  // this player's events of the frames it has not seen yet

  CandidatePlan plan_;
  int64_t planFrame_ = 0;
  int64_t nextPlan_ = 0;
  bool wantFire_ = false;
  bool wantSpace_ = false;
  int64_t lastShot_ = 0;
  int32_t familyTurn_ = 0;  // the first thrust the next plan looks at, counting on

  int32_t heldMove_ = 0;  // the movement key held, or 0
  bool fireHeld_ = false;
  bool spaceHeld_ = false;
  int32_t keyBudget_ = 0;  // in sixtieths of a key event

  // The game as it is guessed to stand now, and the copy the look aheads play on. Their fields'
  // pictures are never looked at.
  std::unique_ptr<Simulation> present_;
  std::unique_ptr<Simulation> scratch_;
  std::unique_ptr<Simulation> branch_;
  struct Candidate {
    CandidatePlan plan;
    int64_t value;
  };
  std::vector<Candidate> candidates_;
  std::vector<KeyEvent> out_;
};

// The other player's ship as a person sees it: where it is and how fast it goes, not which keys
// are held. Its thrust and a pending fire request are hidden, and its momentum is taken to be
// the one its speed shows.
MatchState AsSeenBy(const MatchState& s, Side me);

// Gives the events to the game's key handlers.
void ApplyKeys(Match& match, std::span<const KeyEvent> events);

}  // namespace kavarin

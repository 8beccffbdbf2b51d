#pragma once

// One machine of an online match in a test: a session over one end of a simulated link, a player
// giving random inputs, and what the test checks afterwards. Datagrams can be slipped in ahead of
// what the link delivers, and what the link delivered can be kept, to be sent again later.

#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <vector>

#include "online/own_ship_keys.h"
#include "online/session.h"
#include "random_hands.h"
#include "simulated_link.h"

namespace kavarin {

class CountingDisplay : public SessionDisplay {
 public:
  void CuePlayed(std::string_view) override { ++cues; }
  void PictureReplaced() override { ++replaced; }
  int64_t cues = 0;
  int64_t replaced = 0;
};

using TappedEnd = SimulatedLink::TappedEnd;

struct Machine {
  Machine(Player p, SimulatedLink& link, uint64_t seed, int64_t longest = LongestMatchFrames)
      : player(p),
        end(link, p == Player::Host ? 0 : 1),
        hands(seed),
        session(p, end, display, SessionOptions{.seed = seed, .longestFrames = longest}) {
    session.onSettled = [this](int64_t frame, const Simulation& after) {
      if (static_cast<int64_t>(hashes.size()) != frame) ADD_FAILURE() << "frames settle in order";
      hashes.push_back(SimulationHash(after));
    };
  }

  // One frame time: the player's hands, then the session's frame.
  void Frame(int64_t nowUs, bool playing) {
    if (playing && session.State() == SessionState::Playing) {
      for (const InputEvent& e : hands.Frame()) {
        session.Input(e);
        if (auto own = ForOwnShip(player, e)) made.push_back(*own);
      }
    }
    const bool moved = session.Tick(nowUs);
    if (session.State() != SessionState::Playing) return;
    waiting = moved ? 0 : waiting + 1;
    if (playing && session.NextFrame() > 0) longestWait = std::max(longestWait, waiting);
  }

  Player player;
  TappedEnd end;
  RandomHands hands;
  CountingDisplay display;
  Session session;
  std::vector<InputEvent> made;  // every event this player made, mapped to their ship
  std::vector<uint64_t> hashes;  // after each confirmed frame
  int waiting = 0;
  int longestWait = 0;
};

inline bool BothDone(const Machine& a, const Machine& b) {
  for (const Machine* m : {&a, &b})
    if (m->session.State() != SessionState::Finished || !m->session.PeerHasAll()) return false;
  return true;
}

}  // namespace kavarin

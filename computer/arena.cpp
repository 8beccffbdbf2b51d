#include "computer/arena.h"

#include <memory>
#include <variant>

#include "computer/computer_player.h"
#include "computer/random_keys.h"
#include "match/keys.h"
#include "match/resets.h"
#include "match/tick.h"

namespace kavarin {
namespace {

// One ship's player: a computer level or the random presser.
class ArenaPlayer {
 public:
  ArenaPlayer(int32_t who, Side side, uint64_t seed) {
    if (who == RandomKeys)
      random_ = std::make_unique<RandomKeyPlayer>(side, seed);
    else
      computer_ = std::make_unique<ComputerPlayer>(side, who, seed);
  }
  std::span<const KeyEvent> Frame(const Simulation& now) {
    return computer_ ? computer_->Frame(now) : random_->Frame(now);
  }

 private:
  std::unique_ptr<ComputerPlayer> computer_;
  std::unique_ptr<RandomKeyPlayer> random_;
};

std::string Who(int32_t who) {
  return who == RandomKeys ? "random" : std::to_string(who);
}

}  // namespace

ArenaResult PlayArena(int32_t left, int32_t right, int64_t matches, uint64_t seed) {
  ArenaResult result;
  result.matches = matches;
  auto sim = std::make_unique<Simulation>();
  for (int64_t m = 0; m < matches; ++m) {
    ArenaPlayer leftPlayer(left, Side::Left, MixSeed(seed, static_cast<uint64_t>(m), 1));
    ArenaPlayer rightPlayer(right, Side::Right, MixSeed(seed, static_cast<uint64_t>(m), 2));
    *sim = Simulation{};
    Match match(*sim);
    FormCreate(match);
    Start(match);
    std::vector<KeyEvent> events;
    for (int64_t frame = 0;; ++frame) {
      const MatchState& s = sim->state;
      if (s.LeftScore >= WinningScore || s.RightScore >= WinningScore || frame >= ArenaFrameCap) {
        if (s.LeftScore >= WinningScore && s.RightScore < WinningScore)
          ++result.leftWins;
        else if (s.RightScore >= WinningScore && s.LeftScore < WinningScore)
          ++result.rightWins;
        else
          ++result.draws;
        break;
      }
      // Both see the same moment; then their keys go in, the right player's first as in a tick.
      events.clear();
      const auto r = rightPlayer.Frame(*sim);
      events.assign(r.begin(), r.end());
      const auto l = leftPlayer.Frame(*sim);
      events.insert(events.end(), l.begin(), l.end());
      ApplyKeys(match, events);
      if (FireTimer(match))
        ++result.frames;
      else
        FormKeyDown(match, VkSpace);  // the players' Space between rounds
    }
  }
  return result;
}

std::string ArenaLine(int32_t left, int32_t right, const ArenaResult& result) {
  return "arena left=" + Who(left) + " right=" + Who(right) +
         " matches=" + std::to_string(result.matches) +
         " left_wins=" + std::to_string(result.leftWins) +
         " right_wins=" + std::to_string(result.rightWins) +
         " draws=" + std::to_string(result.draws) + " frames=" + std::to_string(result.frames);
}

}  // namespace kavarin

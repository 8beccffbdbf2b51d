// Long seeded random play on the core: two simulated players hammer the keys while the timers
// fire, and after every tick and every key the whole match is checked. A failure names its seed
// and tick; KAVARIN_SOAK_SEED=S (and KAVARIN_SOAK_TICKS=N) replays one seed alone.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <random>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "match/keys.h"
#include "match/match.h"
#include "match/resets.h"
#include "match/simulation.h"
#include "match/tick.h"
#include "tests/soak/state_check.h"

namespace kavarin {
namespace {

struct SoakCounts {
  int64_t ticks = 0;
  int64_t rounds = 0;
  int64_t doubleKills = 0;
  int64_t supernovas = 0;
  int64_t blastRounds = 0;
  int64_t gameOvers = 0;
  int64_t starts = 0;
};

// One player's hands: which movement key is held and how eager the trigger finger is.
struct Player {
  int32_t up1, up2, down, fire;
  int32_t held = 0;
};

class Soak {
 public:
  explicit Soak(uint64_t seed) : seed_(seed), rng_(seed), match_(sim_) {
    FormCreate(match_);
    Check("after window creation");
  }

  SoakCounts Run(int64_t ticks) {
    while (counts_.ticks < ticks && failures_.empty()) {
      if (AllStopped(sim_.timers))
        Between();
      else
        Playing();
    }
    return counts_;
  }

  const std::vector<std::string>& Failures() const { return failures_; }

 private:
  bool Chance(int per) { return std::uniform_int_distribution<int>(0, per - 1)(rng_) == 0; }
  int32_t AnyKey() { return std::uniform_int_distribution<int32_t>(0, 65535)(rng_); }

  void Fail(const std::string& what) {
    std::ostringstream m;
    m << "seed " << seed_ << ", tick " << counts_.ticks << ": " << what;
    failures_.push_back(m.str());
  }

  void Check(std::string_view when, int32_t key = -1) {
    for (const std::string& v : soak::Violations(sim_.state, sim_.timers)) {
      std::ostringstream m;
      m << when;
      if (key >= 0) m << " " << key;
      m << ": " << v;
      Fail(m.str());
    }
  }

  void Down(int32_t key) {
    FormKeyDown(match_, key);
    Check("after key-down", key);
  }
  void Up(int32_t key) {
    FormKeyUp(match_, key);
    Check("after key-up", key);
  }

  void Hands(Player& p) {
    if (Chance(12)) {  // change the movement key, as people do
      if (p.held != 0) Up(p.held);
      const int choice = std::uniform_int_distribution<int>(0, 3)(rng_);
      p.held = choice == 0 ? p.up1 : choice == 1 ? p.up2 : choice == 2 ? p.down : 0;
      if (p.held != 0) Down(p.held);
    } else if (p.held != 0 && Chance(6)) {
      Down(p.held);  // key repeat
    }
    if (Chance(20)) Down(p.fire);
    if (Chance(200)) Up(p.fire);
  }

  void DoStart() {
    Start(match_);
    ++counts_.starts;
    scored_ = false;
    Check("after Start");
  }

  // Space, checked against what it must do: set off the supernova once charged, and continue
  // only while play is stopped and nobody has won.
  void Space() {
    const MatchState before = match_.state;
    const bool stopped = AllStopped(sim_.timers);
    Down(VkSpace);
    const bool continues =
        stopped && before.RightScore < WinningScore && before.LeftScore < WinningScore;
    if (continues) {
      scored_ = false;
      if (AllStopped(sim_.timers)) Fail("Space did not continue a finished round");
      if (match_.state.RoundOver != 0 || match_.state.Casualty != 0)
        Fail("Space continued without a fresh round");
      if (match_.state.RightScore != before.RightScore ||
          match_.state.LeftScore != before.LeftScore)
        Fail("Space changed the scores");
    } else {
      if (AllStopped(sim_.timers) != stopped) Fail("Space started play when it must not");
      if (before.StarMode == 1 && match_.state.StarMode == 2) {
        if (before.Charge <= 80) Fail("Space set off an uncharged star");
        ++counts_.supernovas;
      }
    }
    Up(VkSpace);
  }

  void Playing() {
    Hands(right_);
    Hands(left_);
    if (Chance(60)) Space();
    if (Chance(150)) AnyKey() % 2 ? Down(AnyKey()) : Up(AnyKey());
    if (Chance(40000)) DoStart();
    // Three timers, each firing runs a tick only while play runs.
    for (int timer = 0; timer < 3 && !AllStopped(sim_.timers); ++timer) Tick();
  }

  void Tick() {
    if (scored_) Fail("a tick ran after the round was scored");
    const MatchState before = match_.state;
    Timer2Timer(match_);
    ++counts_.ticks;
    const MatchState& s = match_.state;
    Check("after the tick");
    if (s.StarANum == 35 && before.Casualty == 0 && s.Casualty != 0) ++counts_.blastRounds;

    const int32_t rightGain = s.RightScore - before.RightScore;
    const int32_t leftGain = s.LeftScore - before.LeftScore;
    if (s.RoundOver == 0) {
      if (rightGain != 0 || leftGain != 0) Fail("a score changed in a tick that ended no round");
      return;
    }
    // The scoring tick: one point to whoever brought the other down, both when both went down.
    if (before.RoundOver != 0) Fail("a round was scored twice");
    const bool rightDown = before.Casualty == 1 || before.Casualty == 3;
    const bool leftDown = before.Casualty == 2 || before.Casualty == 3;
    if (before.Casualty == 0) Fail("a round ended with nobody down");
    if (leftGain != (rightDown ? 1 : 0) || rightGain != (leftDown ? 1 : 0))
      Fail("round scored " + std::to_string(leftGain) + ":" + std::to_string(rightGain) +
           " with Casualty " + std::to_string(before.Casualty));
    if (!AllStopped(sim_.timers)) Fail("the scoring tick left play running");
    scored_ = true;
    ++counts_.rounds;
    if (before.Casualty == 3) ++counts_.doubleKills;
    if (s.RightScore == WinningScore || s.LeftScore == WinningScore) ++counts_.gameOvers;
  }

  // Play is stopped: keys keep coming, and sooner or later Space or Start goes on.
  void Between() {
    const bool gameOver =
        match_.state.RightScore >= WinningScore || match_.state.LeftScore >= WinningScore;
    Hands(right_);
    Hands(left_);
    if (Chance(40)) Down(AnyKey());
    if (Chance(8)) Space();
    if (AllStopped(sim_.timers) && (Chance(gameOver ? 10 : 400))) DoStart();
    // Firings still arrive at stopped timers' owners in no way: nothing may tick here.
  }

  uint64_t seed_;
  std::mt19937_64 rng_;
  Simulation sim_;
  Match match_;
  Player right_{VkOem6, VkOem4, VkOem2, VkOem1};
  Player left_{VkA, VkQ, VkX, VkS};
  bool scored_ = false;
  SoakCounts counts_;
  std::vector<std::string> failures_;
};

int64_t EnvNumber(const char* name, int64_t fallback) {
  const char* v = std::getenv(name);
  return v != nullptr && *v != '\0' ? std::strtoll(v, nullptr, 10) : fallback;
}

void ExpectSoakClean(uint64_t seed, int64_t ticks, SoakCounts* total) {
  Soak soak(seed);
  const SoakCounts c = soak.Run(ticks);
  for (size_t i = 0; i < soak.Failures().size() && i < 10; ++i) ADD_FAILURE() << soak.Failures()[i];
  ASSERT_TRUE(soak.Failures().empty()) << soak.Failures().size() << " failures, seed " << seed;
  EXPECT_GE(c.ticks, ticks);
  total->ticks += c.ticks;
  total->rounds += c.rounds;
  total->doubleKills += c.doubleKills;
  total->supernovas += c.supernovas;
  total->blastRounds += c.blastRounds;
  total->gameOvers += c.gameOvers;
  total->starts += c.starts;
}

TEST(Soak, MillionTicksOfRandomPlayKeepEveryInvariant) {
  SoakCounts total;
  const int64_t only = EnvNumber("KAVARIN_SOAK_SEED", -1);
  if (only >= 0) {
    ExpectSoakClean(static_cast<uint64_t>(only), EnvNumber("KAVARIN_SOAK_TICKS", 250000), &total);
    return;
  }
  for (uint64_t seed = 1; seed <= 4; ++seed) {
    ExpectSoakClean(seed, 250000, &total);
    if (HasFatalFailure()) return;
  }
  std::printf(
      "soak: %lld ticks, %lld rounds (%lld double kills, %lld during a blast), %lld "
      "supernovas, %lld games over, %lld Starts\n",
      static_cast<long long>(total.ticks), static_cast<long long>(total.rounds),
      static_cast<long long>(total.doubleKills), static_cast<long long>(total.blastRounds),
      static_cast<long long>(total.supernovas), static_cast<long long>(total.gameOvers),
      static_cast<long long>(total.starts));
  // The random players must actually reach the situations worth checking.
  EXPECT_GE(total.ticks, 1000000);
  EXPECT_GT(total.rounds, 1000);
  EXPECT_GT(total.doubleKills, 0);
  EXPECT_GT(total.supernovas, 100);
  EXPECT_GT(total.blastRounds, 0);
  EXPECT_GT(total.gameOvers, 100);
}

// The checker itself must see a broken match; otherwise the soak above proves nothing.
TEST(Soak, CheckerCatchesBrokenStates) {
  Simulation sim;
  Match match(sim);
  FormCreate(match);
  Start(match);
  ASSERT_TRUE(soak::Violations(sim.state, sim.timers).empty());

  auto broken = [&](auto change) {
    MatchState s = match.state;
    change(s);
    return !soak::Violations(s, sim.timers).empty();
  };
  EXPECT_TRUE(broken([](MatchState& s) { s.RightY = 0; }));
  EXPECT_TRUE(broken([](MatchState& s) { s.LeftMomentum = 51; }));
  EXPECT_TRUE(broken([](MatchState& s) { s.Charge = 101; }));
  EXPECT_TRUE(broken([](MatchState& s) { s.LeftBeamX = 35; }));
  EXPECT_TRUE(broken([](MatchState& s) { s.RightBeamState = 2; }));  // in flight at the nose
  EXPECT_TRUE(broken([](MatchState& s) { s.StarBDen = 21; }));       // figures disagree
  EXPECT_TRUE(
      broken([](MatchState& s) { s.StarANum = s.StarBNum = 2, s.StarADen = s.StarBDen = 10; }));
  EXPECT_TRUE(broken([](MatchState& s) { s.RightDown = 1; }));  // no wreck, no casualty
  EXPECT_TRUE(broken([](MatchState& s) { s.LeftWreckTicks = 10; }));
  EXPECT_TRUE(broken([](MatchState& s) { s.RightScore = 4; }));

  Timer2Timer(match);
  ASSERT_TRUE(soak::Violations(sim.state, sim.timers).empty());
  sim.timers[TimerId::Timer3] = 0;
  EXPECT_FALSE(soak::Violations(sim.state, sim.timers).empty()) << "timers out of step";
  match.SetIntervals(StopOrder, 0);
  EXPECT_FALSE(soak::Violations(sim.state, sim.timers).empty()) << "stopped mid-round";
  match.state.RoundOver = 1;
  EXPECT_TRUE(soak::Violations(sim.state, sim.timers).empty()) << "stopped at a round's end";
}

}  // namespace
}  // namespace kavarin

// The computer player's cost per frame at each level, against a plain tick in the same run: each
// frame of a match against a player pressing keys at random, the computer's look at the game and
// its planning included. Run it from a Release build:
//   build-release/bench/kavarin-bench-computer
// Besides the mean per frame it reports, as counters, the median and the dearest single frame
// (CPU time of the thread): the computer plans every few frames, so most frames cost little.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <ctime>
#include <memory>
#include <optional>
#include <vector>

#include "computer/computer_player.h"
#include "computer/random_keys.h"
#include "match/keys.h"
#include "match/resets.h"
#include "match/tick.h"

namespace kavarin {
namespace {

double ThreadCpuMicroseconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) * 1e6 + static_cast<double>(t.tv_nsec) / 1e3;
}

// One frame of a match as the game plays it: the players' keys, then the tick; a stopped round
// is continued and a finished match started again.
class Bout {
 public:
  explicit Bout(int32_t level) : match_(*sim_), opponent_(Side::Left, 11) {
    if (level > 0) computer_.emplace(Side::Right, level, 5);
    FormCreate(match_);
    Start(match_);
  }
  void Frame() {
    if (computer_) ApplyKeys(match_, computer_->Frame(*sim_));
    ApplyKeys(match_, opponent_.Frame(*sim_));
    if (FireTimer(match_)) return;
    const MatchState& s = sim_->state;
    if (s.LeftScore < WinningScore && s.RightScore < WinningScore)
      FormKeyDown(match_, VkSpace);
    else
      Start(match_);
  }
  const Simulation& Sim() const { return *sim_; }

 private:
  std::unique_ptr<Simulation> sim_ = std::make_unique<Simulation>();
  Match match_;
  RandomKeyPlayer opponent_;
  std::optional<ComputerPlayer> computer_;
};

// Level 0 is the plain game: the random player's keys and the tick, no computer.
void BM_Frame(benchmark::State& st) {
  Bout bout(static_cast<int32_t>(st.range(0)));
  std::vector<double> costs;
  costs.reserve(1 << 20);
  for (auto _ : st) {
    const double before = ThreadCpuMicroseconds();
    bout.Frame();
    costs.push_back(ThreadCpuMicroseconds() - before);
    benchmark::DoNotOptimize(bout.Sim().state);
  }
  std::sort(costs.begin(), costs.end());
  st.counters["median_us"] = costs[costs.size() / 2];
  st.counters["p99_us"] = costs[costs.size() * 99 / 100];
  st.counters["max_us"] = costs.back();
  st.SetLabel(st.range(0) == 0 ? "a plain tick" : "level " + std::to_string(st.range(0)));
}
BENCHMARK(BM_Frame)
    ->DenseRange(0, 3)
    ->MinTime(2.0)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true)
    ->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace kavarin

BENCHMARK_MAIN();

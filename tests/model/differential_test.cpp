// Random scripts run through kavarin-replay and through the independent model must print the
// same lines. KAVARIN_MODEL_SEED and KAVARIN_MODEL_SCRIPTS choose another batch of seeds.

#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "rules_model.h"
#include "script_gen.h"
#include "tools/replay/replay.h"

namespace kavarin_model {
namespace {

uint32_t EnvOr(const char* name, uint32_t fallback) {
  const char* v = std::getenv(name);
  return v && *v ? static_cast<uint32_t>(std::strtoul(v, nullptr, 10)) : fallback;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

struct Batch {
  uint32_t first_seed = 0;
  std::vector<Generated> scripts;
};

// One batch for every test below, generated once.
const Batch& TheBatch() {
  static const Batch batch = [] {
    Batch b;
    b.first_seed = EnvOr("KAVARIN_MODEL_SEED", 1);
    const uint32_t count = EnvOr("KAVARIN_MODEL_SCRIPTS", 400);
    for (uint32_t i = 0; i < count; ++i) b.scripts.push_back(GenerateScript(b.first_seed + i));
    return b;
  }();
  return batch;
}

// Describes the first line where the core and the model part, or returns "" when they agree.
std::string FirstDifference(uint32_t seed, const std::string& script, const std::string& core,
                            const std::string& model, const std::vector<int>& line_command,
                            bool with_script) {
  if (core == model) return "";
  const auto a = Lines(core), b = Lines(model);
  size_t n = 0;
  while (n < a.size() && n < b.size() && a[n] == b[n]) ++n;
  const auto script_lines = Lines(script);
  int command = line_command.empty() ? 0 : line_command.back();
  if (n < line_command.size()) command = line_command[n];
  std::ostringstream msg;
  msg << "seed " << seed << ": output line " << n + 1 << " (printed by script line " << command + 1
      << ": '" << script_lines[command] << "')\n  core:  " << (n < a.size() ? a[n] : "<no line>")
      << "\n  model: " << (n < b.size() ? b[n] : "<no line>") << "\n";
  if (n < a.size() && n < b.size() && a[n].rfind("state ", 0) == 0) {
    // Name the fields that differ.
    std::istringstream wa(a[n]), wb(b[n]);
    for (std::string x, y; wa >> x && wb >> y;)
      if (x != y) msg << "  differs: core " << x << ", model " << y << "\n";
  }
  if (with_script) {
    msg << "script up to that line:\n";
    for (int i = 0; i <= command; ++i) msg << script_lines[i] << "\n";
  }
  return msg.str();
}

// Runs `script` through the core and the model; returns the difference, or "" when they agree.
std::string CompareWithCore(uint32_t seed, const std::string& script, bool with_script,
                            size_t* lines_compared) {
  std::istringstream in(script);
  std::ostringstream out, err;
  const int status = kavarin::RunReplay(in, out, err);
  if (status != kavarin::ReplayOk)
    return "seed " + std::to_string(seed) + ": kavarin-replay refused the script: " + err.str();
  std::vector<int> line_command;
  const std::string expected = RunScript(script, &line_command);
  *lines_compared += line_command.size();
  return FirstDifference(seed, script, out.str(), expected, line_command, with_script);
}

TEST(Differential, RandomScriptsPrintWhatTheModelPrints) {
  const Batch& batch = TheBatch();
  int failures = 0;
  size_t lines_compared = 0;
  for (size_t i = 0; i < batch.scripts.size(); ++i) {
    const uint32_t seed = batch.first_seed + static_cast<uint32_t>(i);
    const std::string diff =
        CompareWithCore(seed, batch.scripts[i].script, failures < 3, &lines_compared);
    if (!diff.empty() && ++failures <= 20) ADD_FAILURE() << diff;
  }
  EXPECT_EQ(failures, 0) << failures << " of " << batch.scripts.size() << " scripts differ";
  EXPECT_GT(lines_compared, 100000u);
  std::cout << batch.scripts.size() << " scripts, " << lines_compared << " lines compared\n";
}

TEST(Differential, EdgesOfHitWindowBandsAndBlastAgree) {
  constexpr int kGroups = 8;
  Tally sum;
  int aimed_hits = 0;
  size_t lines_compared = 0;
  for (int g = 0; g < kGroups; ++g) {
    const Generated script = BoundaryScript(g, kGroups);
    // Boundary scripts are reported as seeds 1000000 + group.
    const std::string diff = CompareWithCore(1000000 + g, script.script, true, &lines_compared);
    if (!diff.empty()) ADD_FAILURE() << diff;
    sum.beam_hits += script.tally.beam_hits;
    aimed_hits += script.aimed_hits;
    sum.blast_kills += script.tally.blast_kills;
    sum.both_down += script.tally.both_down;
  }
  std::cout << "boundary scripts: " << sum.beam_hits << " beam hits, " << sum.blast_kills
            << " blast kills, " << lines_compared << " lines compared\n";
  // Of 104 shots exactly those 14 away from the ship hit; 15 away, or across the wrap, misses.
  EXPECT_GT(aimed_hits, 30);
  EXPECT_EQ(sum.beam_hits, aimed_hits);
  // Six blast layouts: a ship at 41 or 259 dies, one at 40 or 260 lives; 41 with 259 dies twice.
  EXPECT_EQ(sum.blast_kills, 6);
  EXPECT_EQ(sum.both_down, 1);
}

// The comparison is only as good as the scripts: they must reach every part of the game.
TEST(Differential, ScriptsReachEveryPartOfTheGame) {
  const Batch& batch = TheBatch();
  Tally sum;
  std::array<int, kPhaseCount> starts{}, spaces{};
  long traced = 0;
  for (const Generated& g : batch.scripts) {
    sum.ticks += g.tally.ticks;
    sum.beam_hits += g.tally.beam_hits;
    sum.blast_kills += g.tally.blast_kills;
    sum.blasts += g.tally.blasts;
    sum.rounds += g.tally.rounds;
    sum.game_overs += g.tally.game_overs;
    sum.both_down += g.tally.both_down;
    sum.rehits += g.tally.rehits;
    sum.spared += g.tally.spared;
    traced += g.traced_ticks;
    for (int p = 0; p < kPhaseCount; ++p) {
      starts[p] += g.starts[p];
      spaces[p] += g.spaces[p];
    }
  }
  std::cout << "ticks " << sum.ticks << " (traced " << traced << "), beam hits " << sum.beam_hits
            << ", blast kills " << sum.blast_kills << ", blasts " << sum.blasts << ", rounds "
            << sum.rounds << " (both down " << sum.both_down << "), game overs " << sum.game_overs
            << ", hits on a wreck " << sum.rehits << ", spared " << sum.spared
            << "\nstart in phase waiting/playing/down/round over/game over: " << starts[0] << "/"
            << starts[1] << "/" << starts[2] << "/" << starts[3] << "/" << starts[4]
            << "\nspace in the same phases: " << spaces[0] << "/" << spaces[1] << "/" << spaces[2]
            << "/" << spaces[3] << "/" << spaces[4] << "\n";
  const size_t n = batch.scripts.size();
  if (n < 100) GTEST_SKIP() << "too few scripts to judge the mix";
  EXPECT_GT(sum.beam_hits, static_cast<int>(n));
  EXPECT_GT(sum.blast_kills, static_cast<int>(n / 4));
  EXPECT_GT(sum.blasts, static_cast<int>(n / 4));
  EXPECT_GT(sum.rounds, static_cast<int>(n));
  EXPECT_GT(sum.both_down, 5);
  EXPECT_GT(sum.rehits, 0);
  EXPECT_GT(sum.spared, 5);
  EXPECT_GT(sum.game_overs, static_cast<int>(n / 10));
  EXPECT_GT(traced, static_cast<long>(n) * 50);
  for (int p = 0; p < kPhaseCount; ++p) {
    EXPECT_GT(starts[p], 3) << "start in phase " << p;
    EXPECT_GT(spaces[p], 3) << "space in phase " << p;
  }
}

}  // namespace
}  // namespace kavarin_model

// The page's record, cut at whatever frame the field shows, replays in kavarin-replay to exactly
// the simulation that frame showed.
#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <sstream>

#include "match/keys.h"
#include "match/match.h"
#include "match/resets.h"
#include "match/tick.h"
#include "tools/replay/replay.h"
#include "web/glue/local_record.h"

namespace kavarin {
namespace {

std::string HashLine(const Simulation& sim) {
  char line[32];
  std::snprintf(line, sizeof line, "hash %016llx\n",
                static_cast<unsigned long long>(SimulationHash(sim)));
  return line;
}

TEST(LocalRecord, CutAtAnyMarkItReplaysToTheSimulationShownThen) {
  constexpr int32_t Keys[] = {VkA, VkQ, VkX, VkS, VkOem1, VkOem2, VkOem4, VkOem6, VkSpace, 66};
  for (uint32_t seed = 1; seed <= 40; ++seed) {
    std::mt19937 rng(seed);
    Simulation sim;
    Match match(sim);
    FormCreate(match);
    LocalRecord record;
    Simulation shown = sim;
    for (int step = 0; step < 4000; ++step) {
      const unsigned roll = rng() % 100;
      if (roll < 70) {
        if (!match.Running()) continue;  // as the page: a stopped game gets no firings
        record.Tick();
        Timer2Timer(match);
      } else if (roll < 90) {
        const int32_t key = Keys[rng() % std::size(Keys)];
        const bool down = rng() % 2 == 0;
        down ? record.KeyDown(key) : record.KeyUp(key);
        down ? FormKeyDown(match, key) : FormKeyUp(match, key);
      } else if (roll < 92) {
        record.Start();
        Start(match);
      } else {
        record.MarkShown();
        shown = sim;
      }
    }
    std::string script = record.Shown();
    ASSERT_TRUE(script.ends_with("state\n"));
    script += "hash\n";
    std::istringstream in(script);
    std::ostringstream out, err;
    ASSERT_EQ(RunReplay(in, out, err), ReplayOk) << err.str();
    const std::string printed = out.str();
    EXPECT_EQ(printed.substr(printed.rfind("hash ")), HashLine(shown)) << "seed " << seed;
  }
}

}  // namespace
}  // namespace kavarin

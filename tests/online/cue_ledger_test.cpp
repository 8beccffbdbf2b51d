// A cue is heard once for the frame that made it, however often the frame is simulated again; a
// correction that reveals a cue still has it heard, unless a later frame's cue was heard since or
// the frame has left the window.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "online/cue_ledger.h"
#include "render/cues.h"

namespace kavarin {
namespace {

TEST(CueLedger, EachCueIsHeardOnceAndRevealedCuesOnlyWhileNewest) {
  CueLedger ledger;
  std::vector<std::string> heard;
  auto simulate = [&](int64_t frame, std::vector<std::string_view> cues, int64_t oldestOpen = 0) {
    ledger.Simulated(frame, cues, oldestOpen, [&](std::string_view c) { heard.emplace_back(c); });
  };
  simulate(10, {CueHassha});
  simulate(10, {CueHassha});             // the same frame again: nothing new
  simulate(10, {CueHassha, CueHassha});  // a correction reveals the other player's shot too
  EXPECT_EQ(heard, (std::vector<std::string>{"hassha", "hassha"}));

  simulate(11, {});
  simulate(12, {CueShuku});
  simulate(11, {CueHakai});  // revealed, but frame 12's cue is newer and would have cut it off
  simulate(12, {CueShuku, CueChou});
  EXPECT_EQ(heard, (std::vector<std::string>{"hassha", "hassha", "shuku", "chou"}));

  simulate(13, {CueHakai}, 14);  // revealed too late: the frame is out of the window
  EXPECT_EQ(heard.size(), 4u);
  simulate(13 + CueLedger::Frames, {CueHakai});  // a frame in the reused slot starts afresh
  EXPECT_EQ(heard.back(), "hakai");
}

}  // namespace
}  // namespace kavarin

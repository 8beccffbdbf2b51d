// The computer as a player: the same inputs give the same match, a record of a match against it
// replays exactly without it, and the levels are in order of strength.
#include <gtest/gtest.h>

#include <sstream>

#include "computer/arena.h"
#include "tests/computer/duel.h"
#include "tools/replay/replay.h"

namespace kavarin {
namespace {

std::string Replayed(const std::string& script) {
  std::istringstream in(script);
  std::ostringstream out, err;
  EXPECT_EQ(RunReplay(in, out, err), ReplayOk) << err.str();
  return out.str();
}

// The record holds the computer's keys as events like any player's; kavarin-replay, with no
// computer of its own, ends in exactly the state the match ended in.
TEST(ComputerPlay, RecordOfAMatchReplaysWithoutTheComputer) {
  for (int32_t level = 1; level <= 3; ++level) {
    const DuelOptions options{.level = level,
                              .side = level == 2 ? Side::Left : Side::Right,
                              .seed = 5,
                              .frames = Sanitized ? 500 : 1500};
    const DuelLog log = PlayDuel(options);
    EXPECT_EQ(Replayed(log.script), log.finalState + "\n");
    EXPECT_EQ(PlayDuel(options).script, log.script) << "the same seeds gave another match";
    const DuelLog reseeded =
        PlayDuel({.level = level, .side = options.side, .seed = 6, .frames = options.frames});
    EXPECT_NE(reseeded.script, log.script) << "the seed changes nothing";
  }
}

// `computer left|right LEVEL` in a script: the computer plays from the next tick on, through
// rounds and Start, until `off`; the same script prints the same, byte for byte.
TEST(ComputerPlay, ScriptCommandIsDeterministicAndPlays) {
  const std::string script =
      "computer right 3\ncomputer left 1\nstart\ntick 900\nstate\ndown 32\ntick 900\nstate\n"
      "computer left off\nstart\ntick 1500\nstate\n";
  const std::string first = Replayed(script);
  EXPECT_EQ(Replayed(script), first);
  // Left alone after `off`, the left ship is a sitting target for the right computer.
  const size_t last = first.rfind("state ");
  ASSERT_NE(last, std::string::npos);
  EXPECT_NE(first.find(" LeftScore=0 ", last), std::string::npos);
  EXPECT_EQ(first.find(" RightScore=0 ", last), std::string::npos) << first.substr(last);
  const std::string errors[] = {"computer middle 2\n", "computer left 4\n", "computer left\n",
                                "computer right 2 3\n"};
  for (const std::string& bad : errors) {
    std::istringstream in(bad);
    std::ostringstream out, err;
    EXPECT_EQ(RunReplay(in, out, err), ReplayError) << bad;
    EXPECT_TRUE(err.str().starts_with("kavarin-replay: line 1: ")) << err.str();
  }
}

// Fixed seeds: each level beats the one below in at least two thirds of the decided matches, and
// the weakest beats a player pressing keys at random. The arenas are shorter than the 20 matches
// of the README's figures (tests/computer/arena_check.sh), to keep the test quick.
TEST(ComputerPlay, LevelsAreInOrder) {
  if (Sanitized) GTEST_SKIP() << "the levels' strength is measured in the ordinary build";
  struct Pairing {
    int32_t stronger, weaker;
    int64_t matches;
  };
  for (const Pairing p : {Pairing{1, RandomKeys, 4}, Pairing{2, 1, 3}, Pairing{3, 2, 2}}) {
    const ArenaResult r = PlayArena(p.stronger, p.weaker, p.matches, 1);
    const int64_t decided = r.leftWins + r.rightWins;
    EXPECT_EQ(decided + r.draws, p.matches);
    EXPECT_GE(3 * r.leftWins, 2 * decided) << ArenaLine(p.stronger, p.weaker, r);
    EXPECT_GT(r.leftWins, 0) << ArenaLine(p.stronger, p.weaker, r);
  }
}

}  // namespace
}  // namespace kavarin

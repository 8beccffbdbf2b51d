// The computer plays fair: what the other player does reaches it only `delay` frames late, and it
// touches no key but its own ship's and Space, no faster than its fingers allow.
#include <gtest/gtest.h>

#include <set>
#include <vector>

#include "computer/computer_level.h"
#include "match/keys.h"
#include "tests/computer/duel.h"

namespace kavarin {
namespace {

constexpr Side BothSides[] = {Side::Right, Side::Left};

// Whatever the other player does after frame f - delay, the computer's keys up to frame f stay
// the same. Checked at moments all through a match, at every level and on both sides; and the
// other player's moves do change what the computer does later, so the check has teeth.
TEST(ComputerFairness, KeysDependOnlyOnWhatItHasSeen) {
  int changedLater = 0;
  int checks = 0;
  struct Player {
    int32_t level;
    Side side;
  };
  const std::vector<Player> players =
      Sanitized ? std::vector<Player>{{3, Side::Left}}
                : std::vector<Player>{
                      {1, Side::Right}, {2, Side::Left}, {3, Side::Right}, {3, Side::Left}};
  for (const Player p : players) {
    const int32_t level = p.level;
    const int64_t delay = ComputerLevelOf(level).delay;
    {
      DuelOptions options{.level = level, .side = p.side, .seed = 7u + level, .frames = 1100};
      const DuelLog base = PlayDuel(options);
      for (int64_t f : {120, 333, 610, 960}) {
        DuelOptions changed = options;
        changed.changeAt = f - delay + 1;
        changed.laterSeed = 1000u + static_cast<uint64_t>(f);
        changed.frames = f + 120;
        const DuelLog other = PlayDuel(changed);
        for (int64_t g = 0; g <= f; ++g) {
          ASSERT_EQ(base.computer[g], other.computer[g])
              << "level " << level << ", frame " << g << ", the other player changed at frame "
              << changed.changeAt;
        }
        ++checks;
        for (int64_t g = f + 1; g < changed.frames; ++g) {
          if (base.computer[g] != other.computer[g]) {
            ++changedLater;
            break;
          }
        }
      }
    }
  }
  EXPECT_GT(changedLater, checks / 3) << "the computer hardly reacts to the other player at all";
}

// Only its own ship's keys and Space, at most keysPerSecond key presses in any second (with the
// three of a burst), and never a Space that continues a stopped round.
TEST(ComputerFairness, OwnKeysOnlyAndNoFasterThanItsFingers) {
  int supernovas = 0;
  for (int32_t level = LowestComputerLevel; level <= HighestComputerLevel; ++level) {
    for (Side side : BothSides) {
      const DuelLog log = PlayDuel(
          {.level = level, .side = side, .seed = 40u + level, .opponentSeed = 9, .frames = 3000});
      EXPECT_FALSE(log.continuedByComputer);
      const PlayerKeys& own = KeysOf[side];
      const std::set<int32_t> allowed = {own.up, own.down, own.fire, VkSpace};
      std::vector<int> presses(log.computer.size() + 1, 0);  // running count of key-downs
      int downs = 0;
      for (size_t f = 0; f < log.computer.size(); ++f) {
        for (const KeyEvent& e : log.computer[f]) {
          EXPECT_TRUE(allowed.contains(e.key)) << "key " << e.key << " at frame " << f;
          downs += e.down;
          supernovas += e.down && e.key == VkSpace;
        }
        presses[f + 1] = downs;
      }
      EXPECT_GT(downs, 20) << "level " << level << " hardly played";
      const int most = ComputerLevelOf(level).keysPerSecond + 3;
      for (size_t f = 60; f < presses.size(); ++f)
        ASSERT_LE(presses[f] - presses[f - 60], most) << "level " << level << ", frame " << f;
    }
  }
  // Space is its key too: it sets off the supernova when the other ship is far from shelter.
  EXPECT_GT(supernovas, 0);
}

}  // namespace
}  // namespace kavarin

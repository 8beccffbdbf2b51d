// The simulation as one value: copied, compared and hashed, a restored copy carries on exactly
// as the original does. Online play saves and restores it every frame and compares hashes
// between machines, so any part of the game left outside the value would show up here.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "recorder.h"

namespace kavarin {
namespace {

// Random hands on the keys for one frame, then one timer firing; Start now and then.
void PlayFrame(Match& match, std::mt19937& rng) {
  static constexpr int32_t Keys[] = {VkA, VkQ, VkX, VkS, VkOem1, VkOem2, VkOem4, VkOem6, VkSpace};
  std::uniform_int_distribution<int> pick(0, 40);
  for (int i = pick(rng) % 3; i > 0; --i) {
    const int k = pick(rng);
    if (k < 9)
      FormKeyDown(match, Keys[k]);
    else if (k < 18)
      FormKeyUp(match, Keys[k - 9]);
    else if (k == 40 && pick(rng) < 2)
      Start(match);
  }
  FireTimer(match);
}

struct Course {
  std::vector<std::string> lines;  // every call the observer saw
  std::vector<uint64_t> hashes;    // after every frame
};

Course CarryOn(Simulation& sim, uint32_t seed, int frames) {
  RecordingObserver recorder;
  Match match(sim, recorder);
  std::mt19937 rng(seed);
  Course run;
  for (int f = 0; f < frames; ++f) {
    PlayFrame(match, rng);
    run.hashes.push_back(SimulationHash(sim));
  }
  run.lines = std::move(recorder.log.lines);
  return run;
}

TEST(Simulation, ARestoredCopyGoesOnExactlyAsTheOriginal) {
  for (uint32_t seed = 1; seed <= 40; ++seed) {
    Simulation sim;
    RecordingObserver watcher;
    {
      Match match(sim, watcher);
      FormCreate(match);
      Start(match);
      std::mt19937 rng(seed);
      for (int f = 0; f < static_cast<int>(seed * 97 % 1500); ++f) PlayFrame(match, rng);
    }
    const size_t seenBefore = watcher.log.lines.size();

    const Simulation saved = sim;
    ASSERT_EQ(saved, sim);
    ASSERT_EQ(SimulationHash(saved), SimulationHash(sim));
    const Course original = CarryOn(sim, seed + 1000, 400);
    Simulation restored;
    restored = saved;
    const Course again = CarryOn(restored, seed + 1000, 400);

    EXPECT_EQ(again.lines, original.lines) << "seed " << seed;
    EXPECT_EQ(again.hashes, original.hashes) << "seed " << seed;
    EXPECT_EQ(restored, sim) << "seed " << seed;
    EXPECT_EQ(watcher.log.lines.size(), seenBefore) << "a copy reports to nobody else";
  }
}

// Equal values hash equally; a change anywhere in the value changes both == and the hash.
TEST(Simulation, EveryPartOfTheValueCountsInEqualityAndHash) {
  Rig rig;
  rig.StartMatch();
  rig.Down(VkS);
  rig.Fire(40);
  const Simulation base = rig.sim;
  const uint64_t baseHash = SimulationHash(base);
  int changes = 0;
  auto expectSeen = [&](const Simulation& changed, const char* what) {
    ++changes;
    EXPECT_NE(changed, base) << what;
    EXPECT_NE(SimulationHash(changed), baseHash) << what;
  };
  ForEachField(base.state, [&](const char* name, const auto& value) {
    // The same field in a copy, found by its offset in the record.
    const auto offset =
        reinterpret_cast<const char*>(&value) - reinterpret_cast<const char*>(&base);
    Simulation changed = base;
    auto* field = reinterpret_cast<int32_t*>(reinterpret_cast<char*>(&changed) + offset);
    field[0] += 1;
    expectSeen(changed, name);
  });
  for (Point p : {Point{0, 0}, Point{399, 299}, Point{200, 150}}) {
    Simulation changed = base;
    const std::array<Point, 2> dot = {{p, {p.x + 1, p.y}}};
    changed.field.SetPenColor(changed.field.IsWhite(p.x, p.y) ? Color::Black : Color::White);
    changed.field.Polyline(dot);
    changed.field.SetPenColor(base.field.PenColor());
    expectSeen(changed, "a pixel");
  }
  Simulation pen = base;
  pen.field.SetPenColor(base.field.PenColor() == Color::White ? Color::Black : Color::White);
  expectSeen(pen, "the pen colour");
  for (TimerId t : AllTimers) {
    Simulation changed = base;
    changed.timers[t] = RunningInterval - changed.timers[t];
    expectSeen(changed, TimerName(t));
  }
  EXPECT_EQ(changes, 48 + 3 + 1 + 3);
}

// The hash is part of the protocol between two machines: it must not change between builds,
// compilers or hosts. These values were taken once from this code; a change to them breaks
// online play between versions and needs a new protocol version.
TEST(Simulation, HashIsTheSameInEveryBuild) {
  Rig rig;
  EXPECT_EQ(SimulationHash(rig.sim), 0x4125BBD90E14B1A2u);
  rig.StartMatch();
  rig.Down(VkS);
  rig.Down(VkOem2);
  rig.Fire(100);
  EXPECT_EQ(SimulationHash(rig.sim), 0xE28205AA1224E70Cu);
}

}  // namespace
}  // namespace kavarin

// Rolling back and simulating again must give exactly what straight simulation gives: on every
// frame the timeline goes back 1 to 8 frames and simulates them again with the same inputs, and
// every state it passes through must hash as the straight run's did.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "match/resets.h"
#include "online/frame_step.h"
#include "online/own_ship_keys.h"
#include "online/timeline.h"
#include "random_hands.h"

namespace kavarin {
namespace {

FrameInput Mapped(Player player, RandomHands& hands) {
  FrameInput input;
  for (const InputEvent& e : hands.Frame())
    if (auto own = ForOwnShip(player, e)) input.Add(*own);
  return input;
}

TEST(Synctest, RollingBackAnyFramesGivesTheHashesOfStraightSimulation) {
  constexpr int64_t Frames = 100'000;
  RandomHands host(1);
  RandomHands guest(2);
  std::mt19937 depth(3);

  Simulation straight;
  Match match(straight);
  FormCreate(match);
  Timeline timeline;
  std::vector<uint64_t> hashAfter;  // the straight run's hash after each frame
  std::vector<std::pair<FrameInput, FrameInput>> inputs;
  hashAfter.reserve(Frames);
  inputs.reserve(Frames);
  int rounds = 0;
  int starts = 0;

  for (int64_t f = 0; f < Frames; ++f) {
    const FrameInput h = Mapped(Player::Host, host);
    const FrameInput g = Mapped(Player::Guest, guest);
    for (const FrameInput* in : {&h, &g})
      for (const InputEvent& e : in->Events()) starts += e.kind == EventKind::Start;
    const bool wasRunning = match.Running();
    RunFrame(match, h, g);
    rounds += wasRunning && !match.Running();
    inputs.emplace_back(h, g);
    hashAfter.push_back(SimulationHash(straight));

    timeline.Advance(h, g, NoObserver());
    const int64_t back =
        std::min<int64_t>(std::uniform_int_distribution<int64_t>(1, 8)(depth), f + 1);
    timeline.Rewind(timeline.Next() - back);
    while (timeline.Next() <= f) {
      const auto& [rh, rg] = inputs[static_cast<size_t>(timeline.Next())];
      timeline.Advance(rh, rg, NoObserver());
      ASSERT_EQ(SimulationHash(timeline.Current()),
                hashAfter[static_cast<size_t>(timeline.Next() - 1)])
          << "frame " << timeline.Next() - 1 << " simulated again after going back " << back;
    }
  }
  EXPECT_EQ(timeline.Current(), straight);
  // The random play went through whole rounds and matches, Start included.
  EXPECT_GE(rounds, 100);
  EXPECT_GE(starts, 2);
}

}  // namespace
}  // namespace kavarin

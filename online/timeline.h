#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "match/observer.h"
#include "match/simulation.h"
#include "online/input_event.h"

namespace kavarin {

// How far a machine may run ahead of the last frame both players' inputs are known for.
constexpr int64_t MaxPredictedFrames = 8;

// The simulation frame by frame, with the state before each recent frame kept, so that the
// frames since any of them can be simulated again with other inputs.
class Timeline {
 public:
  // How many states before a frame are kept: enough to go back past every predicted frame.
  static constexpr int64_t Kept = 16;

  // A new match as the game starts: play stopped, nothing drawn; frame 0 comes next.
  Timeline();

  // The frame simulated next; every frame before it has been simulated.
  int64_t Next() const { return next_; }
  // The newest simulated state: the one shown.
  const Simulation& Current() const { return *current_; }
  // The state just before `frame` (that is, after frame - 1), while it is kept.
  const Simulation& Before(int64_t frame) const;
  bool Keeps(int64_t frame) const { return frame <= next_ && frame > next_ - Kept && frame >= 0; }

  // Simulates frame Next() with these inputs, keeping the state before it, and moves on.
  void Advance(const FrameInput& host, const FrameInput& guest, Observer& observer);
  // Goes back to just before `frame`: the frames from it on are to be simulated again.
  void Rewind(int64_t frame);

 private:
  std::unique_ptr<std::array<Simulation, Kept>> saved_;  // saved_[f % Kept]: before frame f
  std::unique_ptr<Simulation> current_;
  int64_t next_ = 0;
};

}  // namespace kavarin

#include "online/timeline.h"

#include <cassert>

#include "match/resets.h"
#include "online/frame_step.h"

namespace kavarin {

Timeline::Timeline()
    : saved_(std::make_unique<std::array<Simulation, Kept>>()),
      current_(std::make_unique<Simulation>()) {
  Match match(*current_);
  FormCreate(match);
}

const Simulation& Timeline::Before(int64_t frame) const {
  assert(Keeps(frame));
  if (frame == next_) return *current_;
  return (*saved_)[static_cast<size_t>(frame % Kept)];
}

void Timeline::Advance(const FrameInput& host, const FrameInput& guest, Observer& observer) {
  (*saved_)[static_cast<size_t>(next_ % Kept)] = *current_;
  Match match(*current_, observer);
  RunFrame(match, host, guest);
  ++next_;
}

void Timeline::Rewind(int64_t frame) {
  assert(Keeps(frame));
  if (frame == next_) return;
  *current_ = (*saved_)[static_cast<size_t>(frame % Kept)];
  next_ = frame;
}

}  // namespace kavarin

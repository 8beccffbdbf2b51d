#include "online/match_record.h"

#include <algorithm>

namespace kavarin {

void MatchRecord::Add(const FrameInput& host, const FrameInput& guest) {
  for (const InputEvent& e : host.Events()) events_.push_back({frames_, Player::Host, e});
  for (const InputEvent& e : guest.Events()) events_.push_back({frames_, Player::Guest, e});
  ++frames_;
}

void MatchRecord::EndAt(int64_t end) {
  if (end >= frames_) return;
  while (!events_.empty() && events_.back().frame >= end) events_.pop_back();
  frames_ = std::max<int64_t>(end, 0);
}

std::string MatchRecord::Script(const std::string& lastLine) const {
  std::string out = "# Kavarin online match: " + std::to_string(frames_) +
                    " frames; the host flies the left ship, the guest the right one\n";
  int64_t ticks = 0;  // frames with no events since the last line written
  auto flushTicks = [&] {
    if (ticks == 1) out += "tick\n";
    if (ticks > 1) out += "tick " + std::to_string(ticks) + "\n";
    ticks = 0;
  };
  size_t next = 0;
  for (int64_t frame = 0; frame < frames_; ++frame) {
    if (next < events_.size() && events_[next].frame == frame) flushTicks();
    for (; next < events_.size() && events_[next].frame == frame; ++next) {
      const InputEvent& e = events_[next].event;
      switch (e.kind) {
        case EventKind::KeyDown:
          out += "down " + std::to_string(e.key) + "\n";
          break;
        case EventKind::KeyUp:
          out += "up " + std::to_string(e.key) + "\n";
          break;
        case EventKind::Start:
          out += "start\n";
          break;
      }
    }
    ++ticks;
  }
  flushTicks();
  out += lastLine + "\n";
  return out;
}

}  // namespace kavarin

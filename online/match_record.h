#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "online/input_event.h"

namespace kavarin {

// The confirmed inputs of a whole online match. Both machines keep the same one, and written out
// it is a kavarin-replay script that replays the match exactly.
class MatchRecord {
 public:
  // The next frame, with both players' events as they were applied.
  void Add(const FrameInput& host, const FrameInput& guest);
  int64_t Frames() const { return frames_; }
  // Keeps the frames before `end` only.
  void EndAt(int64_t end);

  struct Entry {
    int64_t frame;
    Player player;
    InputEvent event;
  };
  // Every event, in frame order and, within a frame, the host's before the guest's.
  const std::vector<Entry>& Events() const { return events_; }

  // Each frame as the host's events (down, up, start), then the guest's, then a tick, runs of
  // ticks joined as "tick N"; then `lastLine` (the script asks for the final state with "state").
  std::string Script(const std::string& lastLine = "state") const;

 private:
  std::vector<Entry> events_;
  int64_t frames_ = 0;
};

}  // namespace kavarin

#pragma once

// The script of a headless online peer. It holds its player's inputs only: `down`, `up` and
// `start` lines, and `tick N` for N frames. Frame k of the script is frame k of the match on both
// machines (the input delay is 0), so the record of the match holds, for each frame, the host's
// events of its script's frame k, then the guest's, then a tick. Events after a script's last
// tick get a frame of their own. The shorter script plays on with no input until the longer one
// ends.

#include <cstdint>
#include <ostream>
#include <vector>

#include "online/input_event.h"
#include "online/session.h"
#include "tools/replay/streams.h"

namespace kavarin {

// Events to give in one frame, then that many frames to run.
struct Step {
  FrameInput events;
  int64_t ticks = 0;
};

// The whole script, checked before anything is sent: the steps of its player's inputs. Read as
// kavarin-replay reads scripts, in memory bounded by the longest argument; the steps kept are
// those of the longest match only (LongestMatchFrames), runs of ticks joined. On a bad line,
// says which on `err` and sets `ok` false.
std::vector<Step> ReadSteps(ScriptSource& source, Player player, std::ostream& err, bool& ok);

// Gives the script's inputs to the session frame by frame: the events of the script's frame k
// go in while frame k is the one to be simulated next, and each simulated frame is one tick.
// Once the script is done, the player's inputs end.
class Feeder {
 public:
  explicit Feeder(const std::vector<Step>& steps) : steps_(steps) {}
  bool Done() const { return step_ == steps_.size(); }
  // The inputs for the frame to be simulated next, while play runs.
  void Feed(Session& session);
  // A frame was simulated.
  void Simulated() {
    if (fed_ && --left_ == 0) Next();
  }

 private:
  void Next() {
    ++step_;
    fed_ = false;
  }
  const std::vector<Step>& steps_;
  size_t step_ = 0;
  bool fed_ = false;
  int64_t left_ = 0;
  bool ended_ = false;
};

}  // namespace kavarin

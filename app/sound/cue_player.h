#pragma once

#include <string_view>

#include "render/cues.h"

namespace kavarin {

// The platform's sound player: plays a cue by name asynchronously. It returns at once, never
// fails the caller, and a new cue cuts off the one that is playing.
class CuePlayer {
 public:
  virtual ~CuePlayer() = default;
  virtual void PlayCue(std::string_view name) = 0;
};

}  // namespace kavarin

#include "computer/random_keys.h"

#include "match/keys.h"

namespace kavarin {

std::span<const KeyEvent> RandomKeyPlayer::Frame(const Simulation& now) {
  out_.clear();
  if (AllStopped(now.timers) || !random_.Chance(80)) return out_;
  const PlayerKeys& keys = KeysOf[side_];
  const int32_t choices[] = {keys.up, keys.otherUp, keys.down, keys.fire, VkSpace};
  out_.push_back({random_.Below(3) != 0, choices[random_.Below(5)]});
  return out_;
}

}  // namespace kavarin

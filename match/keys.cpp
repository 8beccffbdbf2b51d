#include "match/keys.h"

#include "match/resets.h"

namespace kavarin {

// A supernova can be set off once the charge is above this.
constexpr int32_t SupernovaCharge = 80;

void FormKeyDown(Match& match, int32_t key) {
  MatchState& s = match.state;
  if (key == VkOem2) s.RightThrust = 1;
  if (key == VkOem4) s.RightThrust = -1;
  if (key == VkOem6) s.RightThrust = -1;
  if (s.RightBeamState == 0 && key == VkOem1) s.RightBeamState = 1;
  if (key == VkX) s.LeftThrust = 1;
  if (key == VkQ) s.LeftThrust = -1;
  if (key == VkA) s.LeftThrust = -1;
  if (s.LeftBeamState == 0 && key == VkS) s.LeftBeamState = 1;
  if (key == VkSpace && s.Charge > SupernovaCharge) s.StarMode = 2;
  if (key == VkSpace && s.RightScore < WinningScore && s.LeftScore < WinningScore &&
      AllStopped(match.timers)) {
    Continue(match);
  }
}

void FormKeyUp(Match& match, int32_t key) {
  MatchState& s = match.state;
  if (key == VkX || key == VkA || key == VkQ) s.LeftThrust = 0;
  if (key == VkOem2 || key == VkOem6 || key == VkOem4) s.RightThrust = 0;
}

}  // namespace kavarin

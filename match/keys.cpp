#include "match/keys.h"

#include "match/resets.h"

namespace kavarin {

// A supernova can be set off once the charge is above this.
constexpr int32_t SupernovaCharge = 80;

// One event carries one key, so at most one side's test acts on it.
void FormKeyDown(Match& match, int32_t key) {
  MatchState& s = match.state;
  for (Side side : Sides) {
    const SideFields ship = FieldsOf(s, side);
    const PlayerKeys& keys = KeysOf[side];
    if (key == keys.down) ship.Thrust = 1;
    if (key == keys.up || key == keys.otherUp) ship.Thrust = -1;
    if (ship.BeamState == BeamIdle && key == keys.fire) ship.BeamState = BeamRequested;
  }
  if (key == VkSpace && s.Charge > SupernovaCharge) s.StarMode = StarSupernova;
  if (key == VkSpace && s.RightScore < WinningScore && s.LeftScore < WinningScore &&
      !match.Running()) {
    Continue(match);
  }
}

// Letting go of any of a side's movement keys stops its thrust, even if another is still held.
void FormKeyUp(Match& match, int32_t key) {
  for (Side side : Sides) {
    const PlayerKeys& keys = KeysOf[side];
    if (key == keys.up || key == keys.otherUp || key == keys.down)
      FieldsOf(match.state, side).Thrust = 0;
  }
}

}  // namespace kavarin

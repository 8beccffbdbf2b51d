#include "match/tick.h"

#include "mechanics/beam.h"
#include "mechanics/scoring.h"
#include "mechanics/ship.h"
#include "mechanics/star.h"
#include "mechanics/wreck.h"

namespace kavarin {

// The order is the game: a ship moves before its beam launches, the right side goes before the
// left, both beams and the star act before either hit test, and the scoreboard is drawn last.
void Timer2Timer(Match& match) {
  ChargeStar(match);
  UpdateShip(match, Side::Right);
  LaunchBeam(match, Side::Right);
  FlyBeam(match, Side::Right);
  UpdateShip(match, Side::Left);
  LaunchBeam(match, Side::Left);
  FlyBeam(match, Side::Left);
  UpdateStar(match);
  UpdateWreck(match, Side::Right);
  UpdateWreck(match, Side::Left);
  UpdateCasualty(match);
  AwardPoints(match);
  DrawScoreboard(match);
}

bool FireTimer(Match& match) {
  if (!match.Running()) return false;
  Timer2Timer(match);
  return true;
}

}  // namespace kavarin

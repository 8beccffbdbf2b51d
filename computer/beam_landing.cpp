#include "computer/beam_landing.h"

#include <array>

#include "match/keys.h"
#include "match/match.h"
#include "match/resets.h"
#include "match/tick.h"

namespace kavarin {
namespace {

constexpr int32_t FieldRows = 300;

// Fires the right ship's beam once from every row and follows it to the hit column. The ship
// stands still, and a hit on the left ship does not change the beam's path.
std::array<int32_t, FieldRows + 1> LearnLandings() {
  std::array<int32_t, FieldRows + 1> landing{};
  Simulation sim;
  Match match(sim);
  for (int32_t y = 1; y <= FieldRows; ++y) {
    FormCreate(match);
    Start(match);
    sim.state.RightY = y;
    FormKeyDown(match, KeysOf[Side::Right].fire);
    for (int32_t t = 0; t < BeamFlightFrames; ++t) FireTimer(match);
    landing[y] = sim.state.RightBeamY;
  }
  return landing;
}

}  // namespace

int32_t BeamLandingY(int32_t launchY) {
  static const std::array<int32_t, FieldRows + 1> landings = LearnLandings();
  if (launchY < 1) launchY = 1;
  if (launchY > FieldRows) launchY = FieldRows;
  return landings[launchY];
}

}  // namespace kavarin

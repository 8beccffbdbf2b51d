#pragma once

#include "match/match.h"

namespace kavarin {

// Who is down this round, from the two Down flags; never set back to 0 here.
void UpdateCasualty(Match& match);
// In the tick a wreck animation ends: a point to the other player for each ship down, and play
// stops.
void AwardPoints(Match& match);
// In the scoring tick: both scores as stroke digits and, at 3 points, GAME OVER.
void DrawScoreboard(Match& match);

}  // namespace kavarin

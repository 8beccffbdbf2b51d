#pragma once

#include "match/match.h"

namespace kavarin {

// The frame tick, run by every firing of every running timer. It moves every object one step,
// makes every hit and blast test, runs the wrecks and, at a round's end, scores it.
void Timer2Timer(Match& match);

// One firing of a timer: a whole tick while play runs, nothing once it has stopped. Returns
// whether a tick ran.
bool FireTimer(Match& match);

}  // namespace kavarin

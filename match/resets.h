#pragma once

#include "match/match.h"

namespace kavarin {

enum class ClearsField { No, Yes };
// The round reset all three entry points share. With ClearsField::Yes the field is cleared
// after the casualty is reset and before the star is.
void ResetRound(Match& match, ClearsField clears = ClearsField::No);

// The main window's creation: first state, play stopped, nothing drawn.
void FormCreate(Match& match);
// Game > Start (F2): a new match at 0 : 0, from any state.
void Start(Match& match);
// Space between rounds: the next round, scores kept.
void Continue(Match& match);

}  // namespace kavarin

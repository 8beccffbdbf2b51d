#pragma once

#include "match/match.h"
#include "online/input_event.h"

namespace kavarin {

// One frame of an online match, the same on both machines: the host's events in the order they
// were made, then the guest's, then one timer firing (a tick while play runs). This is what
// kavarin-replay does with the record's down, up, start and tick lines.
void RunFrame(Match& match, const FrameInput& host, const FrameInput& guest);

}  // namespace kavarin

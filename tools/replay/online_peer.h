#pragma once

#include <ostream>

#include "tools/replay/streams.h"

namespace kavarin {

// Whether kavarin-replay's arguments ask for a headless online peer (--host or --join).
bool IsOnlinePeerCommand(int argc, char** argv);

// A headless online peer, one player of a match over the network, its inputs from a script:
//   kavarin-replay --host PORT [--no-router] [--record FILE] SCRIPT
//   kavarin-replay --join HOST[:PORT] [--record FILE] SCRIPT
// Returns the exit status: 0 once the match is played to the end of both scripts (the final
// confirmed state printed on `out`), 1 when the match could not be played to its end, 2 for bad
// arguments or a bad script.
int RunOnlinePeer(int argc, char** argv, OutputSink& out, std::ostream& err);

}  // namespace kavarin

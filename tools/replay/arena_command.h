#pragma once

#include <ostream>

namespace kavarin {

// kavarin-replay --arena LEFT RIGHT [--matches N] [--seed S]: whole matches between two
// computer levels (1, 2, 3, or random for a player pressing keys at random), one line of results.
bool IsArenaCommand(int argc, char** argv);
int RunArena(int argc, char** argv, std::ostream& out, std::ostream& err);

}  // namespace kavarin

#pragma once

#include <istream>
#include <ostream>
#include <string_view>
#include <vector>

namespace kavarin {

constexpr int ReplayOk = 0;
constexpr int ReplayError = 2;

// Runs a replay script on a fresh match, as the game starts: state all 0, then FormCreate, play
// stopped. Output goes to `out`; the first bad line stops the run with a message on `err`.
// Returns the exit status: ReplayOk, or ReplayError for a bad line or a file that failed.
int RunReplay(std::istream& script, std::ostream& out, std::ostream& err);

// The words of one script line: runs of characters other than spaces and tabs.
std::vector<std::string_view> SplitWords(std::string_view line);

}  // namespace kavarin

#pragma once

#include <istream>
#include <ostream>
#include <span>
#include <string_view>
#include <vector>

#include "files/safe_file.h"
#include "tools/replay/streams.h"

namespace kavarin {

constexpr int ReplayOk = 0;
constexpr int ReplayOutputFailed = 1;
constexpr int ReplayError = 2;

// Runs a replay script on a fresh match, as the game starts: state all 0, then FormCreate, play
// stopped. Output goes to `out`; the first bad line stops the run with a message on `err`, and
// so does the first output that cannot be written. `field` never replaces any of `kept`.
// Returns the exit status: ReplayOk; ReplayOutputFailed when output was lost; ReplayError for a
// bad line, a file that could not be written, or a script that could not be read.
int RunReplay(ScriptSource& script, OutputSink& out, std::ostream& err,
              std::span<const KeptFile> kept = {});
int RunReplay(std::istream& script, std::ostream& out, std::ostream& err);

// The words of one script line: runs of characters other than spaces and tabs.
std::vector<std::string_view> SplitWords(std::string_view line);

}  // namespace kavarin

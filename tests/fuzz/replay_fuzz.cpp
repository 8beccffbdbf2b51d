// Feeds arbitrary bytes to kavarin-replay's script reader, and through it to the game. Whatever
// the bytes, a run must end with status 0 and nothing on the error stream, or with status 2 and
// exactly one "kavarin-replay: line L: ..." message; anything else stops the fuzzer.
//
// Two things are changed in the script before it runs, both only here:
// - `field PATH` writes to one file in a private temporary folder, never to PATH itself; only
//   `field .` (a folder, refused) and `field -` (the output) are left as they are.
// - Every input gets a budget of TickBudget ticks, so one input cannot run for minutes. A traced
//   `tick N` (which prints every drawing call) is lowered to what the budget has left; an
//   untraced one is charged UntracedTickCost at most, since the tool shortens long untraced runs
//   itself, and `field -` FieldOutputCost. While a computer plays a ship every tick is charged,
//   ComputerTickCost for each such ship. Once the budget is spent the script is cut off before
//   the line that would exceed it.
// Everything else, huge numbers, NUL bytes and long lines included, reaches the tool as it is.
#include "tests/fuzz/replay_fuzz.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "tools/replay/replay.h"

namespace kavarin::fuzz {

namespace {

// The value of a tick count the tool would accept, or -1 when it would refuse it (the tool then
// stops with a message, which costs nothing).
int64_t AcceptedCount(std::string_view word) {
  if (word.empty() || word.size() > 64) return -1;
  int64_t value = 0;
  for (char c : word) {
    if (c < '0' || c > '9') return -1;
    value = value * 10 + (c - '0');
    if (value > 1000000000) return -1;
  }
  return value >= 1 ? value : -1;
}

std::string Join(const std::vector<std::string_view>& words) {
  std::string line;
  for (std::string_view w : words) {
    if (!line.empty()) line.push_back(' ');
    line.append(w);
  }
  return line;
}

const std::string& FieldPath() {
  static const std::string path = [] {
    std::string folder = (std::filesystem::temp_directory_path() / "kavarin-fuzz-XXXXXX").string();
    if (mkdtemp(folder.data()) == nullptr) {
      std::perror("kavarin-replay fuzz: cannot make a temporary folder");
      std::abort();
    }
    static const std::string remove_at_exit = folder;
    std::atexit([] { std::filesystem::remove_all(remove_at_exit); });
    return folder + "/field.pgm";
  }();
  return path;
}

[[noreturn]] void Fail(const char* what, const RunResult& r) {
  std::fprintf(stderr, "kavarin-replay fuzz: %s\nstatus %d\nerror stream: [%s]\n", what, r.status,
               r.err.c_str());
  std::abort();
}

}  // namespace

std::string Tame(std::string_view script) {
  std::string tamed;
  tamed.reserve(script.size() + 64);
  bool traced = false;
  bool computerOn[2] = {false, false};  // right, left
  int64_t budget = TickBudget;
  size_t pos = 0;
  while (pos < script.size()) {
    size_t end = script.find('\n', pos);
    const bool last = end == std::string_view::npos;
    if (last) end = script.size();
    const std::string_view line = script.substr(pos, end - pos);
    pos = end + 1;

    // The tool reads a line ending in CR LF as its LF twin.
    std::vector<std::string_view> words =
        SplitWords(line.ends_with('\r') ? line.substr(0, line.size() - 1) : line);
    std::string replaced;
    if (words.size() == 3 && words[0] == "computer" &&
        (words[1] == "right" || words[1] == "left")) {
      // Any level word but off may be accepted; charging it as a computer errs on the safe side.
      computerOn[words[1] == "left"] = words[2] != "off";
    } else if (words.size() == 2 && words[0] == "trace") {
      if (words[1] == "on") traced = true;
      if (words[1] == "off") traced = false;
    } else if (!words.empty() && words[0] == "tick" && words.size() <= 2) {
      const int64_t count = words.size() == 1 ? 1 : AcceptedCount(words[1]);
      if (count > 0) {
        const int64_t computers = int64_t{computerOn[0]} + int64_t{computerOn[1]};
        const int64_t cost = computers > 0
                                 ? std::min(count, TickBudget + 1) * computers * ComputerTickCost
                             : traced ? count
                                      : std::min(count, UntracedTickCost);
        if (traced && computers == 0 && budget > 0 && cost > budget) {
          replaced = "tick " + std::to_string(budget);
          budget = 0;
        } else if (cost > budget) {
          break;  // out of ticks: the rest of the script is dropped
        } else {
          budget -= cost;
        }
      }
    } else if (words.size() == 2 && words[0] == "field" && words[1] == "-") {
      if (FieldOutputCost > budget) break;
      budget -= FieldOutputCost;
    } else if (words.size() == 2 && words[0] == "field" && words[1] != ".") {
      words[1] = FieldPath();
      replaced = Join(words);
    }
    if (!replaced.empty())
      tamed.append(replaced);
    else
      tamed.append(line);
    if (!last) tamed.push_back('\n');
  }
  return tamed;
}

RunResult Run(std::string_view script) {
  std::istringstream in{std::string(script)};
  std::ostringstream out;
  std::ostringstream err;
  RunResult r;
  r.status = RunReplay(in, out, err);
  r.out = out.str();
  r.err = err.str();
  return r;
}

void Check(const RunResult& r) {
  if (r.status == ReplayOk) {
    if (!r.err.empty()) Fail("a successful run wrote to the error stream", r);
    return;
  }
  if (r.status != ReplayError) Fail("unexpected exit status", r);
  static constexpr std::string_view Prefix = "kavarin-replay: line ";
  if (r.err.compare(0, Prefix.size(), Prefix) != 0) Fail("error message without its prefix", r);
  if (r.err.back() != '\n' || r.err.find('\n') != r.err.size() - 1)
    Fail("error message is not exactly one line", r);
}

}  // namespace kavarin::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  kavarin::fuzz::Check(kavarin::fuzz::Run(kavarin::fuzz::Tame(bytes)));
  return 0;
}

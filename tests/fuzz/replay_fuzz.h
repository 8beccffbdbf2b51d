#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace kavarin::fuzz {

// Ticks one fuzz input may run. A traced tick prints every drawing call, so it is dear.
constexpr int64_t TickBudget = 20000;
// What an untraced `tick N` is charged at most: the tool runs at most a few of the game's
// 600-tick cycles before it shortens the rest.
constexpr int64_t UntracedTickCost = 2000;
// What a tick is charged for each ship a computer plays: it plays ahead many ticks of its own,
// and the tool shortens nothing while one plays.
constexpr int64_t ComputerTickCost = 20;
// What `field -` is charged: its picture is about as long as the trace of this many ticks.
constexpr int64_t FieldOutputCost = 400;

struct RunResult {
  int status = 0;
  std::string out;
  std::string err;
};

// The script as the fuzzer runs it: field paths sent to a temporary file and ticks within budget.
std::string Tame(std::string_view script);
RunResult Run(std::string_view script);
// Aborts unless the run ended in status 0 quietly, or in status 2 with one line of message.
void Check(const RunResult& result);

}  // namespace kavarin::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

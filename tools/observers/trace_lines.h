#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "match/play_timers.h"
#include "match/simulation.h"
#include "render/geometry.h"

namespace kavarin {

// The text of what a simulation shows its observer, one line per call, as kavarin-replay's trace
// prints it and the tests compare it. Each appends one line without its line end.
void AppendPolylineLine(std::string& out, Color pen,
                        std::span<const Point> points);       // polyline FFFFFF 1,2 3,4
void AppendCueLine(std::string& out, std::string_view name);  // cue hakai
void AppendIntervalLine(std::string& out, TimerId timer, int32_t interval);  // interval Timer2 50
inline constexpr std::string_view ClearLine = "clear";
// state RightY=200 ... HitMute=0 Timer1=0 Timer2=0 Timer3=0: every match field in declared order
// (wreck offsets as ten comma-separated values), then the three timers' intervals.
void AppendStateLine(std::string& out, const Simulation& sim);

// "FFFFFF" or "000000".
std::string_view ColorText(Color color);
// A number in decimal, appended.
void AppendNumber(std::string& out, int64_t value);

}  // namespace kavarin

#include "tools/observers/trace_lines.h"

#include <charconv>
#include <type_traits>

namespace kavarin {

std::string_view ColorText(Color color) {
  return color == Color::White ? "FFFFFF" : "000000";
}

void AppendNumber(std::string& out, int64_t value) {
  char digits[24];
  const auto [end, ec] = std::to_chars(digits, digits + sizeof digits, value);
  out.append(digits, end);
}

void AppendPolylineLine(std::string& out, Color pen, std::span<const Point> points) {
  out.append("polyline ");
  out.append(ColorText(pen));
  for (const Point& p : points) {
    out.push_back(' ');
    AppendNumber(out, p.x);
    out.push_back(',');
    AppendNumber(out, p.y);
  }
}

void AppendCueLine(std::string& out, std::string_view name) {
  out.append("cue ");
  out.append(name);
}

void AppendIntervalLine(std::string& out, TimerId timer, int32_t interval) {
  out.append("interval ");
  out.append(TimerName(timer));
  out.push_back(' ');
  AppendNumber(out, interval);
}

void AppendStateLine(std::string& out, const Simulation& sim) {
  out.append("state");
  ForEachField(sim.state, [&out](const char* name, const auto& value) {
    out.push_back(' ');
    out.append(name);
    out.push_back('=');
    if constexpr (std::is_same_v<std::decay_t<decltype(value)>, WreckOffsets>) {
      for (size_t i = 0; i < value.size(); ++i) {
        if (i > 0) out.push_back(',');
        AppendNumber(out, value[i]);
      }
    } else {
      AppendNumber(out, value);
    }
  });
  for (TimerId t : AllTimers) {
    out.push_back(' ');
    out.append(TimerName(t));
    out.push_back('=');
    AppendNumber(out, sim.timers[t]);
  }
}

}  // namespace kavarin

#include "tools/observers/trace_lines.h"

#include <charconv>

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

}  // namespace kavarin

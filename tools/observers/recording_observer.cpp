#include "tools/observers/recording_observer.h"

#include "tools/observers/trace_lines.h"

namespace kavarin {

std::vector<std::string> EventLog::With(std::string_view prefix) const {
  std::vector<std::string> out;
  for (const std::string& l : lines)
    if (std::string_view(l).starts_with(prefix)) out.push_back(l);
  return out;
}

int EventLog::IndexOf(std::string_view line) const {
  for (size_t i = 0; i < lines.size(); ++i)
    if (lines[i] == line) return static_cast<int>(i);
  return -1;
}

void RecordingObserver::PenColorSet(Color color) {
  log.Add("pen " + std::string(ColorText(color)));
}

void RecordingObserver::PolylineDrawn(Color pen, std::span<const Point> points) {
  std::string line;
  AppendPolylineLine(line, pen, points);
  log.Add(std::move(line));
  drawn.push_back({pen, {points.begin(), points.end()}});
}

void RecordingObserver::FieldCleared() {
  log.Add(std::string(ClearLine));
  if (watched != nullptr) stateAtClear = *watched;
}

void RecordingObserver::CuePlayed(std::string_view name) {
  std::string line;
  AppendCueLine(line, name);
  log.Add(std::move(line));
}

void RecordingObserver::IntervalSet(TimerId timer, int32_t interval) {
  std::string line;
  AppendIntervalLine(line, timer, interval);
  log.Add(std::move(line));
}

void RecordingObserver::WindowColorSet(Color color) {
  log.Add("background " + std::string(ColorText(color)));
}

void RecordingObserver::ClientSizeSet(int32_t width, int32_t height) {
  log.Add("client " + std::to_string(width) + "x" + std::to_string(height));
}

}  // namespace kavarin

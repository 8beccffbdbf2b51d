#pragma once

// An observer that writes down everything a simulation shows it, in order, as one line per call:
// the trace lines of kavarin-replay ("polyline ...", "clear", "cue ...", "interval ...") and the
// calls the trace leaves out ("pen FFFFFF", "background 000000", "client 400x300"). It also keeps
// every polyline with its colour. The tests, the tools and the benchmarks share it.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "match/observer.h"
#include "match/simulation.h"

namespace kavarin {

struct EventLog {
  std::vector<std::string> lines;

  void Add(std::string line) { lines.push_back(std::move(line)); }
  void Clear() { lines.clear(); }
  // The lines that start with `prefix`, in order.
  std::vector<std::string> With(std::string_view prefix) const;
  std::vector<std::string> Cues() const { return With("cue "); }
  std::vector<std::string> Intervals() const { return With("interval "); }
  std::vector<std::string> Polylines() const { return With("polyline "); }
  // Index of the first line equal to `line`, or -1.
  int IndexOf(std::string_view line) const;
};

struct DrawnPolyline {
  Color pen;
  std::vector<Point> points;
};

class RecordingObserver : public Observer {
 public:
  void PenColorSet(Color color) override;
  void PolylineDrawn(Color pen, std::span<const Point> points) override;
  void FieldCleared() override;
  void CuePlayed(std::string_view name) override;
  void IntervalSet(TimerId timer, int32_t interval) override;
  void WindowColorSet(Color color) override;
  void ClientSizeSet(int32_t width, int32_t height) override;

  EventLog log;
  std::vector<DrawnPolyline> drawn;
  // When set, the match record as it stands at the moment of each clear is kept.
  const MatchState* watched = nullptr;
  std::optional<MatchState> stateAtClear;
};

}  // namespace kavarin

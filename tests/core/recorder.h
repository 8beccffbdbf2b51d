#pragma once

// A match wired to recording seams: every pen change, polyline, clear, cue and timer interval
// goes into one log in the order it happened, and the polylines also paint a real field.

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "match/keys.h"
#include "match/match.h"
#include "match/resets.h"
#include "match/tick.h"
#include "render/field.h"

namespace kavarin {

inline std::string ColorText(Color c) {
  return c == Color::White ? "FFFFFF" : "000000";
}

inline std::string PolylineText(Color pen, std::span<const Point> points) {
  std::string text = "polyline " + ColorText(pen);
  for (const Point& p : points) text += " " + std::to_string(p.x) + "," + std::to_string(p.y);
  return text;
}

// The five lines of a ship outline (or a wreck at rest) with its nose at (noseX, y), each as a
// polyline line of the log; sign -1 gives the left-hand, point-mirrored outline.
inline std::vector<std::string> OutlineLines(int32_t noseX, int32_t y, int32_t sign, Color pen) {
  static constexpr int32_t Offsets[5][4] = {
      {0, 0, 15, 3}, {0, 0, 15, -3}, {9, 9, 18, 9}, {9, -9, 18, -9}, {15, 9, 15, -9}};
  std::vector<std::string> lines;
  for (const auto& o : Offsets) {
    const std::array<Point, 2> line = {
        {{noseX + sign * o[0], y + sign * o[1]}, {noseX + sign * o[2], y + sign * o[3]}}};
    lines.push_back(PolylineText(pen, line));
  }
  return lines;
}

struct EventLog {
  std::vector<std::string> lines;

  void Add(std::string line) { lines.push_back(std::move(line)); }
  void Clear() { lines.clear(); }
  // The lines that start with `prefix`, in order.
  std::vector<std::string> With(std::string_view prefix) const {
    std::vector<std::string> out;
    for (const std::string& l : lines)
      if (std::string_view(l).starts_with(prefix)) out.push_back(l);
    return out;
  }
  std::vector<std::string> Cues() const { return With("cue "); }
  std::vector<std::string> Intervals() const { return With("interval "); }
  std::vector<std::string> Polylines() const { return With("polyline "); }
  // Index of the first line equal to `line`, or -1.
  int IndexOf(std::string_view line) const {
    for (size_t i = 0; i < lines.size(); ++i)
      if (lines[i] == line) return static_cast<int>(i);
    return -1;
  }
};

struct DrawnPolyline {
  Color pen;
  std::vector<Point> points;
};

class RecordingSurface : public DrawingSurface {
 public:
  explicit RecordingSurface(EventLog& log) : log_(log) {}

  void SetPenColor(Color color) override {
    field.SetPenColor(color);
    log_.Add("pen " + ColorText(color));
  }
  void Polyline(std::span<const Point> points) override {
    log_.Add(PolylineText(field.PenColor(), points));
    drawn.push_back({field.PenColor(), {points.begin(), points.end()}});
    field.Polyline(points);
  }
  void ClearField() override {
    log_.Add("clear");
    field.ClearField();
    if (watched != nullptr) stateAtClear = *watched;
  }
  void SetBackgroundColor(Color color) override { log_.Add("background " + ColorText(color)); }
  void SetClientSize(int32_t width, int32_t height) override {
    log_.Add("client " + std::to_string(width) + "x" + std::to_string(height));
  }

  Field field;
  std::vector<DrawnPolyline> drawn;
  // When set, the record as it stands at the moment of each ClearField is kept.
  const MatchState* watched = nullptr;
  std::optional<MatchState> stateAtClear;

 private:
  EventLog& log_;
};

class RecordingCues : public CuePlayer {
 public:
  explicit RecordingCues(EventLog& log) : log_(log) {}
  void PlayCue(std::string_view name) override { log_.Add("cue " + std::string(name)); }

 private:
  EventLog& log_;
};

class RecordingTimers : public HeadlessTimers {
 public:
  explicit RecordingTimers(EventLog& log) : log_(log) {}
  void SetInterval(TimerId timer, int32_t interval) override {
    static constexpr const char* Names[] = {"Timer1", "Timer2", "Timer3"};
    log_.Add(std::string("interval ") + Names[static_cast<size_t>(timer)] + " " +
             std::to_string(interval));
    HeadlessTimers::SetInterval(timer, interval);
  }

 private:
  EventLog& log_;
};

// The game as the main window holds it right after creation: play stopped, nothing drawn, the
// log empty.
struct Rig {
  EventLog log;
  RecordingSurface surface{log};
  RecordingCues cues{log};
  RecordingTimers timers{log};
  Match match{MatchState{}, surface, cues, timers};
  MatchState& s = match.state;

  Rig() {
    FormCreate(match);
    surface.watched = &match.state;
    log.Clear();
  }
  // The seams point into the rig itself.
  Rig(const Rig&) = delete;
  Rig& operator=(const Rig&) = delete;

  bool Running() const { return !AllStopped(timers); }

  // One timer firing, as a platform timer delivers it: a whole tick while play runs, nothing once
  // play has stopped. Returns whether a tick ran.
  bool Fire() {
    if (!Running()) return false;
    Timer2Timer(match);
    return true;
  }
  // `n` firings; returns how many ticks ran.
  int Fire(int n) {
    int ran = 0;
    for (int i = 0; i < n; ++i) ran += Fire() ? 1 : 0;
    return ran;
  }
  // The log of the next tick alone.
  const EventLog& TickLog() {
    log.Clear();
    Fire();
    return log;
  }

  void StartMatch() { Start(match); }
  void Down(int32_t key) { FormKeyDown(match, key); }
  void Up(int32_t key) { FormKeyUp(match, key); }
};

}  // namespace kavarin

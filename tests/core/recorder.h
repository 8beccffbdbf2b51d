#pragma once

// A match wired to the recording observer: every pen change, polyline, clear, cue and timer
// interval goes into one log in the order it happened, while the simulation paints its own field.

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "match/keys.h"
#include "match/match.h"
#include "match/resets.h"
#include "match/tick.h"
#include "tools/observers/recording_observer.h"
#include "tools/observers/trace_lines.h"

namespace kavarin {

inline std::string PolylineText(Color pen, std::span<const Point> points) {
  std::string text;
  AppendPolylineLine(text, pen, points);
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

// The game as the main window holds it right after creation: play stopped, nothing drawn, the
// log empty.
struct Rig {
  Simulation sim;
  RecordingObserver recorder;
  EventLog& log = recorder.log;
  Match match{sim, recorder};
  MatchState& s = sim.state;

  Rig() {
    FormCreate(match);
    recorder.watched = &sim.state;
    log.Clear();
  }
  // The match points into the rig itself.
  Rig(const Rig&) = delete;
  Rig& operator=(const Rig&) = delete;

  bool Running() const { return !AllStopped(sim.timers); }

  // One timer firing, as a platform timer delivers it: a whole tick while play runs, nothing once
  // play has stopped. Returns whether a tick ran.
  bool Fire() { return FireTimer(match); }
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

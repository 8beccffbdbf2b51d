#pragma once

#include <span>
#include <string_view>
#include <vector>

#include "match/match.h"
#include "render/drawing_surface.h"
#include "render/field.h"

namespace kavarin::bench {

class SilentCues : public CuePlayer {
 public:
  void PlayCue(std::string_view) override {}
};

// A match on a real field with silent cues and hand-driven timers, as the benchmarks run it.
struct Bench {
  Field field;
  SilentCues cues;
  HeadlessTimers timers;
  Match match{MatchState{}, field, cues, timers};
};

// The typical moments of play, reached by playing: each leaves `bench.match` just before the
// tick that the benchmark repeats.
enum class Scene {
  CalmBothBeams,   // calm star, both beams in flight
  BlastBothBeams,  // star at its full blast size, both ships outside the blast, both beams flying
  TwoWrecks,       // both ships hit in the same tick by each other's beam, wrecks flying apart
};
void Enter(Bench& bench, Scene scene);
std::string_view SceneName(Scene scene);

// The drawing calls of one tick, kept to be drawn again by a rasteriser.
struct RecordedPolyline {
  Color color;
  std::vector<Point> points;
};
std::vector<RecordedPolyline> RecordTick(Scene scene);

// Pixels a list of polylines paints on the field: what a rasteriser moves per drawing of it.
long CountPixels(std::span<const RecordedPolyline> polylines);

}  // namespace kavarin::bench

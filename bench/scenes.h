#pragma once

#include <span>
#include <string_view>
#include <vector>

#include "match/match.h"
#include "match/simulation.h"
#include "tools/observers/recording_observer.h"

namespace kavarin::bench {

// A simulation with no observer, stepped by hand, as the benchmarks run it.
struct Bench {
  Simulation sim;
  Match match{sim};
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
std::vector<DrawnPolyline> RecordTick(Scene scene);

// Pixels a list of polylines paints on the field: what a rasteriser moves per drawing of it.
long CountPixels(std::span<const DrawnPolyline> polylines);

}  // namespace kavarin::bench

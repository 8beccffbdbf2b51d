#include "bench/scenes.h"

#include <cstdio>
#include <cstdlib>

#include "match/keys.h"
#include "match/resets.h"
#include "match/tick.h"

namespace kavarin::bench {

namespace {

void Ticks(Bench& b, int n) {
  for (int i = 0; i < n; ++i) Timer2Timer(b.match);
}

[[noreturn]] void Unreachable(const char* what) {
  std::fprintf(stderr, "benchmark scene not reached: %s\n", what);
  std::abort();
}

// Both ships at height y, both fire at once; true when both beams hit in the same tick.
bool DoubleHitFrom(int32_t y) {
  Bench b;
  FormCreate(b.match);
  Start(b.match);
  b.match.state.RightY = y;
  b.match.state.LeftY = y;
  FormKeyDown(b.match, VkS);
  FormKeyDown(b.match, VkOem1);
  for (int i = 0; i < 40 && b.match.state.Casualty == 0; ++i) Timer2Timer(b.match);
  return b.match.state.Casualty == 3;
}

}  // namespace

std::string_view SceneName(Scene scene) {
  switch (scene) {
    case Scene::CalmBothBeams:
      return "calm, both beams flying";
    case Scene::BlastBothBeams:
      return "blast outline, both beams flying";
    case Scene::TwoWrecks:
      return "two wrecks flying";
  }
  return "";
}

void Enter(Bench& b, Scene scene) {
  FormCreate(b.match);
  Start(b.match);
  MatchState& s = b.match.state;
  switch (scene) {
    case Scene::CalmBothBeams:
      Ticks(b, 30);  // the star has turned a while
      FormKeyDown(b.match, VkS);
      FormKeyDown(b.match, VkOem1);
      Ticks(b, 20);  // both beams past the centre, in the bending band
      if (s.RightBeamState != 2 || s.LeftBeamState != 2 || s.StarMode != 1)
        Unreachable("calm star with two beams");
      break;
    case Scene::BlastBothBeams:
      // Ships parked near the top edge, where the blast spares them.
      s.RightY = 20;
      s.LeftY = 20;
      Ticks(b, 80);
      FormKeyDown(b.match, VkSpace);
      Ticks(b, 175);
      FormKeyDown(b.match, VkS);
      FormKeyDown(b.match, VkOem1);
      Ticks(b, 15);
      if (s.StarANum != 35 || s.RightBeamState != 2 || s.LeftBeamState != 2 || s.Casualty != 0)
        Unreachable("full blast with two beams");
      break;
    case Scene::TwoWrecks: {
      int32_t y = 1;
      while (y <= 300 && !DoubleHitFrom(y)) ++y;
      if (y > 300) Unreachable("a height where both beams hit at once");
      s.RightY = y;
      s.LeftY = y;
      FormKeyDown(b.match, VkS);
      FormKeyDown(b.match, VkOem1);
      while (s.Casualty == 0) Timer2Timer(b.match);
      Ticks(b, 10);  // into the second phase of both wrecks
      if (s.Casualty != 3 || s.RightDown != 1 || s.LeftDown != 1) Unreachable("two wrecks");
      break;
    }
  }
}

std::vector<DrawnPolyline> RecordTick(Scene scene) {
  Bench b;
  Enter(b, scene);
  Simulation copy = b.sim;
  RecordingObserver recorder;
  Match m(copy, recorder);
  Timer2Timer(m);
  return recorder.drawn;
}

long CountPixels(std::span<const DrawnPolyline> polylines) {
  long pixels = 0;
  for (const DrawnPolyline& p : polylines) {
    Field alone;
    alone.SetPenColor(Color::White);
    alone.Polyline(p.points);
    for (int i = 0; i < FieldWidth * FieldHeight; ++i) pixels += alone.Pixels()[i] != 0;
  }
  return pixels;
}

}  // namespace kavarin::bench

#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "match/observer.h"
#include "match/simulation.h"
#include "render/drawing_surface.h"

namespace kavarin {

// The field of a simulation as the game draws on it: every call paints the simulation's pixels
// and is shown to the observer.
class ObservedField final : public DrawingSurface {
 public:
  ObservedField(Field& field, Observer& observer) : field_(field), observer_(observer) {}

  void SetPenColor(Color color) override {
    observer_.PenColorSet(color);
    field_.SetPenColor(color);
  }
  void Polyline(std::span<const Point> points) override {
    observer_.PolylineDrawn(field_.PenColor(), points);
    field_.Polyline(points);
  }
  void ClearField() override {
    observer_.FieldCleared();
    field_.ClearField();
  }

 private:
  Field& field_;
  Observer& observer_;
};

// A simulation in the hands of the game's procedures, with whoever watches it: what every step
// takes. It is made where a step is called and holds nothing of its own, so the simulation can
// be saved and restored around it freely.
class Match {
 public:
  explicit Match(Simulation& sim, Observer& observer = NoObserver())
      : state(sim.state), timers(sim.timers), surface(sim.field, observer), observer(observer) {}
  Match(const Match&) = delete;
  Match& operator=(const Match&) = delete;

  void PlayCue(std::string_view name) { observer.CuePlayed(name); }
  // Sets the three timers' intervals in the given order.
  void SetIntervals(const TimerOrder& order, int32_t interval) {
    for (TimerId t : order) {
      observer.IntervalSet(t, interval);
      timers[t] = interval;
    }
  }
  bool Running() const { return !AllStopped(timers); }

  MatchState& state;
  TimerIntervals& timers;
  ObservedField surface;
  Observer& observer;
};

}  // namespace kavarin

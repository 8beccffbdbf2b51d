#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "match/play_timers.h"
#include "render/geometry.h"

namespace kavarin {

// What the platform sees of the simulation as it runs: every drawing call, every cue, every
// interval assignment and the two window calls, in the order they happen. It only watches: the
// simulation is complete without it, and copying a simulation never copies its observer. Every
// call does nothing unless overridden.
class Observer {
 public:
  virtual ~Observer() = default;

  virtual void PenColorSet(Color) {}
  // Called before the pixels are painted, with the pen colour they are painted in.
  virtual void PolylineDrawn(Color /*pen*/, std::span<const Point>) {}
  virtual void FieldCleared() {}
  virtual void CuePlayed(std::string_view /*name*/) {}
  virtual void IntervalSet(TimerId, int32_t /*interval*/) {}
  // The window behind the field: its colour, and its client size, which Start puts back.
  virtual void WindowColorSet(Color) {}
  virtual void ClientSizeSet(int32_t /*width*/, int32_t /*height*/) {}
};

// The observer that watches nothing.
Observer& NoObserver();

}  // namespace kavarin

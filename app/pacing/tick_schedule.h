#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>

#include "match/play_timers.h"

namespace kavarin {

// When the frame tick is due. Play runs while all three timers are at the running interval; the
// three timers then share one pace of three ticks per 50 ms, spread evenly: tick n falls due at
// anchor + n * 50/3 ms. Due times are worked out from n every time, in exact integer arithmetic,
// so the pace never drifts. Time is passed in (a steady clock's time since its epoch), so the
// rules can be driven by hand.
class TickSchedule {
 public:
  using Time = std::chrono::nanoseconds;

  // Ticks per running interval: the three timers' worth.
  static constexpr int64_t TicksPerInterval = 3;
  // At most this many overdue ticks run in one go; after a longer stall the pace starts afresh.
  static constexpr int64_t MaxCatchUp = 3;

  // Sets one timer's interval. Play starting (the last of the three reaching the running
  // interval) anchors the pace at `now`; setting an interval a timer already has changes nothing.
  void SetInterval(TimerId timer, int32_t interval, Time now);
  int32_t Interval(TimerId timer) const;

  // True while all three timers run.
  bool Running() const;

  // When the next tick falls due (rounded up to whole nanoseconds), or nothing while stopped.
  std::optional<Time> NextDue() const;

  // Runs the ticks that are due at `now`, one after another: at most MaxCatchUp of them, and none
  // once play has stopped, even inside this call. If more were overdue the pace is anchored anew
  // at `now`. A call made from inside a tick does nothing. Returns the number of ticks run.
  int RunDue(Time now, const std::function<void()>& tick);

 private:
  bool Due(int64_t n, Time now) const;

  std::array<int32_t, 3> intervals_{};
  Time anchor_{};
  int64_t next_ = 1;  // the number of the next tick counted from the anchor
  bool in_tick_ = false;
};

}  // namespace kavarin

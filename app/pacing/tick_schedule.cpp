#include "app/pacing/tick_schedule.h"

#include <cstddef>

namespace kavarin {
namespace {

constexpr TickSchedule::Time Period = std::chrono::milliseconds(RunningInterval);

std::size_t Index(TimerId timer) {
  return static_cast<std::size_t>(timer);
}

}  // namespace

void TickSchedule::SetInterval(TimerId timer, int32_t interval, Time now) {
  const bool was_running = Running();
  intervals_[Index(timer)] = interval;
  if (!was_running && Running()) {
    anchor_ = now;
    next_ = 1;
  }
}

int32_t TickSchedule::Interval(TimerId timer) const {
  return intervals_[Index(timer)];
}

bool TickSchedule::Running() const {
  for (int32_t interval : intervals_) {
    if (interval != RunningInterval) return false;
  }
  return true;
}

// Tick n is due once (now - anchor) >= n * Period / 3; compared multiplied out, so there is no
// rounding at all.
bool TickSchedule::Due(int64_t n, Time now) const {
  return (now - anchor_).count() * TicksPerInterval >= n * Period.count();
}

std::optional<TickSchedule::Time> TickSchedule::NextDue() const {
  if (!Running()) return std::nullopt;
  const int64_t scaled = next_ * Period.count();
  return anchor_ + Time((scaled + TicksPerInterval - 1) / TicksPerInterval);
}

int TickSchedule::RunDue(Time now, const std::function<void()>& tick) {
  if (in_tick_) return 0;
  int ran = 0;
  // Play stopping inside a tick ends the run at once: Running() is asked before every tick.
  while (ran < MaxCatchUp && Running() && Due(next_, now)) {
    ++next_;
    ++ran;
    in_tick_ = true;
    try {
      tick();
    } catch (...) {
      in_tick_ = false;
      throw;
    }
    in_tick_ = false;
  }
  // Still behind after a full catch-up: the machine stalled. Start the pace afresh rather than
  // flood the field with the ticks it missed.
  if (ran == MaxCatchUp && Running() && Due(next_, now)) {
    anchor_ = now;
    next_ = 1;
  }
  return ran;
}

}  // namespace kavarin

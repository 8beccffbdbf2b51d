#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace kavarin {

enum class TimerId { Timer1, Timer2, Timer3 };

// Play runs while the three timers' intervals are 50 and is stopped while they are 0; they are
// always set together.
constexpr int32_t RunningInterval = 50;
constexpr int32_t StoppedInterval = 0;

// The three timers that drive the frame tick. Every firing of a running timer runs one whole
// Timer2Timer; how the firings are paced is the platform's business.
class PlayTimers {
 public:
  virtual ~PlayTimers() = default;
  virtual void SetInterval(TimerId timer, int32_t interval) = 0;
  virtual int32_t Interval(TimerId timer) const = 0;
};

using TimerOrder = std::array<TimerId, 3>;
// The orders in which the game sets the three intervals.
constexpr TimerOrder CreateOrder = {TimerId::Timer2, TimerId::Timer1, TimerId::Timer3};
constexpr TimerOrder StartOrder = {TimerId::Timer2, TimerId::Timer3, TimerId::Timer1};
constexpr TimerOrder ContinueOrder = {TimerId::Timer2, TimerId::Timer1, TimerId::Timer3};
constexpr TimerOrder StopOrder = {TimerId::Timer2, TimerId::Timer1, TimerId::Timer3};

inline void SetIntervals(PlayTimers& timers, const TimerOrder& order, int32_t interval) {
  for (TimerId t : order) timers.SetInterval(t, interval);
}

inline bool AllStopped(const PlayTimers& timers) {
  return timers.Interval(TimerId::Timer2) == 0 && timers.Interval(TimerId::Timer1) == 0 &&
         timers.Interval(TimerId::Timer3) == 0;
}

// Intervals only, with nothing firing them: what the replay tool and the tests drive by hand.
class HeadlessTimers : public PlayTimers {
 public:
  void SetInterval(TimerId timer, int32_t interval) override {
    intervals_[static_cast<std::size_t>(timer)] = interval;
  }
  int32_t Interval(TimerId timer) const override {
    return intervals_[static_cast<std::size_t>(timer)];
  }

 private:
  std::array<int32_t, 3> intervals_{};
};

}  // namespace kavarin

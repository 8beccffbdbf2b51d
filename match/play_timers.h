#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace kavarin {

enum class TimerId { Timer1, Timer2, Timer3 };

constexpr std::array<TimerId, 3> AllTimers = {TimerId::Timer1, TimerId::Timer2, TimerId::Timer3};

// Play runs while the three timers' intervals are 50 and is stopped while they are 0; they are
// always set together.
constexpr int32_t RunningInterval = 50;
constexpr int32_t StoppedInterval = 0;

// The `Interval` of the three timers that drive the frame tick. Every firing of a running timer
// runs one whole Timer2Timer; when the firings come is the platform's business.
struct TimerIntervals {
  std::array<int32_t, 3> interval{};

  int32_t& operator[](TimerId timer) { return interval[static_cast<std::size_t>(timer)]; }
  int32_t operator[](TimerId timer) const { return interval[static_cast<std::size_t>(timer)]; }
  bool operator==(const TimerIntervals&) const = default;
};

using TimerOrder = std::array<TimerId, 3>;
// The orders in which the game sets the three intervals.
constexpr TimerOrder CreateOrder = {TimerId::Timer2, TimerId::Timer1, TimerId::Timer3};
constexpr TimerOrder StartOrder = {TimerId::Timer2, TimerId::Timer3, TimerId::Timer1};
constexpr TimerOrder ContinueOrder = {TimerId::Timer2, TimerId::Timer1, TimerId::Timer3};
constexpr TimerOrder StopOrder = {TimerId::Timer2, TimerId::Timer1, TimerId::Timer3};

// Sets three timers' intervals in the given order, on anything that follows them one by one.
template <typename Timers>
void SetIntervals(Timers& timers, const TimerOrder& order, int32_t interval) {
  for (TimerId t : order) timers.SetInterval(t, interval);
}

inline bool AllStopped(const TimerIntervals& timers) {
  return timers[TimerId::Timer2] == 0 && timers[TimerId::Timer1] == 0 &&
         timers[TimerId::Timer3] == 0;
}

// "Timer1", "Timer2", "Timer3": as the trace and the state line name them.
constexpr const char* TimerName(TimerId timer) {
  constexpr const char* Names[] = {"Timer1", "Timer2", "Timer3"};
  return Names[static_cast<std::size_t>(timer)];
}

}  // namespace kavarin

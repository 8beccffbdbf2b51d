#pragma once

#include <QObject>
#include <QTimer>
#include <cstdint>
#include <functional>

#include "app/pacing/tick_schedule.h"
#include "match/play_timers.h"

namespace kavarin {

// The game's three timers, driven by one precise single-shot Qt timer that is armed for the next
// due tick only while play runs. It follows the intervals the game sets, and calls `tick` once
// per tick on the thread that owns it.
class PacedTimers : public QObject {
 public:
  explicit PacedTimers(std::function<void()> tick, QObject* parent = nullptr);
  void SetInterval(TimerId timer, int32_t interval);
  int32_t Interval(TimerId timer) const;

  // Whether a wake-up is armed: only while play runs.
  bool Armed() const { return wake_.isActive(); }

  // Calls `changed` whenever play starts or stops running, once the tick that did it is over.
  void WhenRunningChanges(std::function<void(bool running)> changed);

 private:
  void Wake();
  void Rearm();

  std::function<void()> tick_;
  TickSchedule schedule_;
  std::function<void(bool)> runningChanged_;
  QTimer wake_;
  bool waking_ = false;
  bool running_ = false;
};

}  // namespace kavarin

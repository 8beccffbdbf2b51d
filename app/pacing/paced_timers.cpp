#include "app/pacing/paced_timers.h"

#include <chrono>
#include <utility>

namespace kavarin {
namespace {

TickSchedule::Time Now() {
  return std::chrono::steady_clock::now().time_since_epoch();
}

}  // namespace

PacedTimers::PacedTimers(std::function<void()> tick, QObject* parent)
    : QObject(parent), tick_(std::move(tick)), wake_(this) {
  wake_.setSingleShot(true);
  wake_.setTimerType(Qt::PreciseTimer);
  connect(&wake_, &QTimer::timeout, this, &PacedTimers::Wake);
}

void PacedTimers::SetInterval(TimerId timer, int32_t interval) {
  schedule_.SetInterval(timer, interval, Now());
  // Inside a tick the wake-up is armed once the tick is over.
  if (!waking_) Rearm();
}

int32_t PacedTimers::Interval(TimerId timer) const {
  return schedule_.Interval(timer);
}

void PacedTimers::Wake() {
  if (waking_) return;
  waking_ = true;
  struct Done {
    PacedTimers& self;
    ~Done() {
      self.waking_ = false;
      self.Rearm();
    }
  } done{*this};
  schedule_.RunDue(Now(), tick_);
}

void PacedTimers::WhenRunningChanges(std::function<void(bool)> changed) {
  runningChanged_ = std::move(changed);
}

void PacedTimers::Rearm() {
  const auto due = schedule_.NextDue();
  if (due.has_value() != running_) {
    running_ = due.has_value();
    if (runningChanged_) runningChanged_(running_);
  }
  if (!due) {
    wake_.stop();  // stopped play wakes nothing
    return;
  }
  // Rounded up to whole milliseconds, so the wake-up never comes before the tick is due.
  const auto wait = std::chrono::ceil<std::chrono::milliseconds>(*due - Now());
  wake_.start(wait.count() > 0 ? wait : std::chrono::milliseconds(0));
}

}  // namespace kavarin

#include "app/pacing/tick_schedule.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <vector>

#include "match/keys.h"
#include "match/match.h"
#include "match/resets.h"
#include "match/simulation.h"
#include "match/tick.h"

namespace kavarin {
namespace {

using namespace std::chrono_literals;
using Time = TickSchedule::Time;

// Tick n of a pace anchored at 0, exactly: n * 50 ms / 3, rounded up to the nanosecond.
Time Nominal(int64_t n) {
  return Time((n * 50'000'000 + 2) / 3);
}

// The schedule following the intervals the game sets, as the window's observer feeds it, on a
// clock moved by hand.
class Harness : public Observer {
 public:
  void IntervalSet(TimerId timer, int32_t interval) override { SetInterval(timer, interval); }
  void SetInterval(TimerId timer, int32_t interval) { schedule.SetInterval(timer, interval, now); }

  int RunAt(Time t) {
    now = t;
    return schedule.RunDue(now, [this] {
      ticks.push_back(now);
      if (on_tick) on_tick();
    });
  }

  // An event loop that wakes when the next tick is due, or (ms_timer) at the next whole
  // millisecond as a millisecond timer would, after looking in a nanosecond before. Returns the
  // most ticks that one wake-up ran.
  int LoopUntil(Time end, bool ms_timer = false) {
    int most = 0;
    while (auto due = schedule.NextDue()) {
      if (*due > end) break;
      if (RunAt(*due - 1ns) != 0) {
        ADD_FAILURE() << "a tick ran before its due time " << due->count() << " ns";
        break;
      }
      const Time wake = ms_timer ? std::chrono::ceil<std::chrono::milliseconds>(*due) : *due;
      const int ran = RunAt(wake);
      if (ran == 0) {
        ADD_FAILURE() << "woken at the due time " << due->count() << " ns, but nothing was due";
        break;
      }
      most = std::max(most, ran);
    }
    now = end;
    return most;
  }

  TickSchedule schedule;
  Time now{};
  std::vector<Time> ticks;
  std::function<void()> on_tick;
};

TEST(TickSchedule, PaceIsAnchoredWhenTheLastTimerStartsAndOnlyThen) {
  Harness h;
  EXPECT_FALSE(h.schedule.NextDue());  // stopped play arms no wake-up
  EXPECT_EQ(h.RunAt(10s), 0);
  h.SetInterval(TimerId::Timer2, RunningInterval);
  h.SetInterval(TimerId::Timer3, RunningInterval);
  EXPECT_FALSE(h.schedule.NextDue());
  h.now = 11s;
  h.SetInterval(TimerId::Timer1, RunningInterval);
  EXPECT_EQ(h.schedule.NextDue(), 11s + Nominal(1));
  EXPECT_EQ(h.RunAt(11s), 0);  // the first tick only comes after the starting handler

  // F2 during play: the timers already run, so the pace goes on undisturbed.
  h.LoopUntil(11s + 105ms);
  SetIntervals(h, StartOrder, RunningInterval);
  EXPECT_EQ(h.schedule.NextDue(), 11s + Nominal(7));

  // Stopped, then continued much later: no tick is owed, the pace counts from the key press.
  SetIntervals(h, StopOrder, StoppedInterval);
  EXPECT_EQ(h.RunAt(20s), 0);
  h.now = 20s + 1'234'567ns;
  SetIntervals(h, ContinueOrder, RunningInterval);
  EXPECT_EQ(h.schedule.NextDue(), h.now + Nominal(1));
}

TEST(TickSchedule, SixtyEvenTicksASecondWithoutDrift) {
  Harness h;
  const Time t0 = 1'234'567ns;  // an anchor that is not a whole millisecond
  h.now = t0;
  SetIntervals(h, StartOrder, RunningInterval);
  EXPECT_EQ(h.LoopUntil(t0 + 1s), 1);  // never more than one tick per wake-up
  ASSERT_EQ(h.ticks.size(), 60u);
  for (std::size_t i = 0; i < h.ticks.size(); ++i) {
    EXPECT_EQ(h.ticks[i], t0 + Nominal(static_cast<int64_t>(i) + 1)) << "tick " << i + 1;
  }

  // An hour of a millisecond timer waking up to 1 ms late each time: the errors never add up.
  h.ticks.clear();
  EXPECT_EQ(h.LoopUntil(t0 + 1s + 1h + 1ms, true), 1);
  ASSERT_EQ(h.ticks.size(), 60u * 3600u);
  for (std::size_t i = 0; i < h.ticks.size(); i += 997) {
    const Time lag = h.ticks[i] - (t0 + Nominal(static_cast<int64_t>(i) + 61));
    EXPECT_GE(lag, 0ns);
    EXPECT_LT(lag, 1ms);
  }
}

TEST(TickSchedule, CatchesUpAtMostThreeAndPacesAnewAfterAStall) {
  Harness h;
  SetIntervals(h, StartOrder, RunningInterval);
  h.LoopUntil(100ms);  // ticks 1..6

  // Woken 40 ms late: the three ticks that fell due run, on the original pace.
  EXPECT_EQ(h.RunAt(Nominal(7) + 40ms), 3);
  EXPECT_EQ(h.schedule.NextDue(), Nominal(10));
  EXPECT_EQ(h.RunAt(Nominal(12)), 3);  // 10 to 12: three overdue is still a catch-up
  EXPECT_EQ(h.schedule.NextDue(), Nominal(13));

  // Four overdue is a stall: three run, and the next is a full period after the wake-up.
  EXPECT_EQ(h.RunAt(Nominal(16)), 3);
  EXPECT_EQ(h.schedule.NextDue(), Nominal(16) + Nominal(1));

  // Two seconds frozen (a dragged window): still three, then the usual pace from there.
  const Time frozen = Nominal(16) + 2s;
  EXPECT_EQ(h.RunAt(frozen), 3);
  h.ticks.clear();
  EXPECT_EQ(h.LoopUntil(frozen + 1s), 1);
  EXPECT_EQ(h.ticks.size(), 60u);
  EXPECT_EQ(h.ticks.front(), frozen + Nominal(1));
}

TEST(TickSchedule, StoppingInsideATickEndsTheRunAndTicksNeverNest) {
  Harness h;
  SetIntervals(h, StartOrder, RunningInterval);
  int nested = -1;
  h.on_tick = [&] { nested = h.schedule.RunDue(1h, [] {}); };
  EXPECT_EQ(h.RunAt(Nominal(1)), 1);
  EXPECT_EQ(nested, 0);
  EXPECT_EQ(h.schedule.NextDue(), Nominal(2));

  // The scoring tick stops play with two more ticks already overdue; the first timer of the
  // stop order is enough.
  h.on_tick = [&h] { h.SetInterval(TimerId::Timer2, StoppedInterval); };
  EXPECT_EQ(h.RunAt(Nominal(4)), 1);
  EXPECT_FALSE(h.schedule.NextDue());
  EXPECT_EQ(h.RunAt(1h), 0);
}

// The whole chain with the real game: both ships, low on the field away from the star's pull,
// fire before the first tick; both beams hit in tick 35 and the wrecks' end scores the round in
// tick 61. No tick may follow, or the round would score again.
TEST(TickSchedule, TheScoringTickIsTheLast) {
  Simulation sim;
  Harness h;
  Match match(sim, h);
  FormCreate(match);
  const Time t0 = 3s;
  h.now = t0;
  Start(match);
  match.state.RightY = 300;
  match.state.LeftY = 300;
  FormKeyDown(match, VkS);
  FormKeyDown(match, VkOem1);
  h.on_tick = [&match] { Timer2Timer(match); };

  h.LoopUntil(t0 + 10s);
  ASSERT_EQ(h.ticks.size(), 61u);
  EXPECT_EQ(h.ticks.back(), t0 + Nominal(61));
  EXPECT_EQ(match.state.LeftScore, 1);
  EXPECT_EQ(match.state.RightScore, 1);
  EXPECT_FALSE(h.schedule.NextDue());

  h.now = t0 + 10s;
  FormKeyDown(match, VkSpace);  // Continue
  EXPECT_EQ(h.schedule.NextDue(), t0 + 10s + Nominal(1));
}

}  // namespace
}  // namespace kavarin

#include "app/pacing/tick_schedule.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <vector>

#include "match/keys.h"
#include "match/match.h"
#include "match/play_timers.h"
#include "match/resets.h"
#include "match/tick.h"
#include "render/field.h"

namespace kavarin {
namespace {

using namespace std::chrono_literals;
using Time = TickSchedule::Time;

// Tick n of a pace anchored at 0, exactly: n * 50 ms / 3, rounded up to the nanosecond.
Time Nominal(int64_t n) {
  return Time((n * 50'000'000 + 2) / 3);
}

// The schedule as the game's core sees it (a PlayTimers), on a clock moved by hand.
class Harness : public PlayTimers {
 public:
  void SetInterval(TimerId timer, int32_t interval) override {
    schedule.SetInterval(timer, interval, now);
  }
  int32_t Interval(TimerId timer) const override { return schedule.Interval(timer); }

  int RunAt(Time t) {
    now = t;
    return schedule.RunDue(now, [this] {
      ticks.push_back(now);
      if (on_tick) on_tick();
    });
  }

  // An event loop that wakes when the next tick is due, `late` after it, or (ms_timer) at the
  // next whole millisecond as a millisecond timer would; it also looks in just before each due
  // time. Returns the most ticks one wake-up ran.
  int LoopUntil(Time end, Time late = 0ns, bool ms_timer = false) {
    int most = 0;
    while (auto due = schedule.NextDue()) {
      if (*due > end) break;
      // Not a nanosecond early, however long the game has run.
      if (RunAt(*due - 1ns) != 0) {
        ADD_FAILURE() << "a tick ran before its due time " << due->count() << " ns";
        break;
      }
      Time wake = *due + late;
      if (ms_timer) wake = std::chrono::ceil<std::chrono::milliseconds>(wake);
      if (wake > end) break;
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

TEST(TickSchedule, RunsNothingUntilAllThreeTimersRun) {
  Harness h;
  EXPECT_FALSE(h.schedule.NextDue());  // stopped play arms no wake-up
  EXPECT_EQ(h.RunAt(10s), 0);

  h.now = 1s;
  h.SetInterval(TimerId::Timer2, RunningInterval);
  h.SetInterval(TimerId::Timer3, RunningInterval);
  EXPECT_FALSE(h.schedule.Running());
  EXPECT_EQ(h.RunAt(2s), 0);

  // The pace counts from the moment the last of the three starts.
  h.SetInterval(TimerId::Timer1, RunningInterval);
  ASSERT_TRUE(h.schedule.NextDue());
  EXPECT_EQ(*h.schedule.NextDue(), 2s + Nominal(1));
  EXPECT_EQ(h.RunAt(2s), 0);  // the first tick only comes after the starting handler
  EXPECT_EQ(h.Interval(TimerId::Timer1), RunningInterval);
}

TEST(TickSchedule, SixtyEvenTicksASecondOneAtATime) {
  Harness h;
  const Time t0 = 1'234'567ns;  // an anchor that is not a whole millisecond
  h.now = t0;
  SetIntervals(h, StartOrder, RunningInterval);

  EXPECT_EQ(h.LoopUntil(t0 + 1s), 1);  // never more than one tick per wake-up
  ASSERT_EQ(h.ticks.size(), 60u);
  for (std::size_t i = 0; i < h.ticks.size(); ++i) {
    EXPECT_EQ(h.ticks[i], t0 + Nominal(static_cast<int64_t>(i) + 1)) << "tick " << i + 1;
  }
  for (std::size_t i = 1; i < h.ticks.size(); ++i) {
    const Time gap = h.ticks[i] - h.ticks[i - 1];
    EXPECT_TRUE(gap == 16'666'666ns || gap == 16'666'667ns) << gap.count();
  }
}

TEST(TickSchedule, NoDriftOverAnHourOfMillisecondWakeUps) {
  Harness h;
  const Time t0 = 7'654'321ns;
  h.now = t0;
  SetIntervals(h, StartOrder, RunningInterval);

  // A millisecond timer wakes up to 1 ms late every time; those errors must not add up.
  EXPECT_EQ(h.LoopUntil(t0 + 1h + 1ms, 0ns, true), 1);
  ASSERT_EQ(h.ticks.size(), 60u * 3600u);
  for (std::size_t i = 0; i < h.ticks.size(); i += 997) {
    const Time lag = h.ticks[i] - (t0 + Nominal(static_cast<int64_t>(i) + 1));
    EXPECT_GE(lag, 0ns);
    EXPECT_LT(lag, 1ms);
  }
}

TEST(TickSchedule, ShortLatenessCatchesUpWithoutLosingThePace) {
  Harness h;
  SetIntervals(h, StartOrder, RunningInterval);
  h.LoopUntil(100ms);  // ticks 1..6
  ASSERT_EQ(h.ticks.size(), 6u);

  // Woken 40 ms late: the two ticks that fell due run, and the pace is the original one.
  EXPECT_EQ(h.RunAt(Nominal(7) + 40ms), 3);
  EXPECT_EQ(*h.schedule.NextDue(), Nominal(10));
  EXPECT_EQ(h.RunAt(Nominal(10)), 1);

  // Exactly three overdue is still a catch-up, not a stall.
  EXPECT_EQ(h.RunAt(Nominal(13)), 3);
  EXPECT_EQ(*h.schedule.NextDue(), Nominal(14));
}

TEST(TickSchedule, StallRunsAtMostThreeThenPacesAnew) {
  Harness h;
  SetIntervals(h, StartOrder, RunningInterval);
  h.LoopUntil(100ms);
  const std::size_t before = h.ticks.size();

  // Four overdue: three run, and the next tick is a full period after the wake-up.
  const Time stall = Nominal(static_cast<int64_t>(before) + 4);
  EXPECT_EQ(h.RunAt(stall), 3);
  EXPECT_EQ(*h.schedule.NextDue(), stall + Nominal(1));

  // Two seconds frozen (a dragged window): still three, and the pace restarts from there.
  const Time frozen = stall + 2s;
  EXPECT_EQ(h.RunAt(frozen), 3);
  EXPECT_EQ(*h.schedule.NextDue(), frozen + Nominal(1));
  EXPECT_EQ(h.RunAt(frozen + 10ms), 0);

  h.ticks.clear();
  EXPECT_EQ(h.LoopUntil(frozen + 1s), 1);
  EXPECT_EQ(h.ticks.size(), 60u);
}

TEST(TickSchedule, StoppingInsideATickStopsEvenTheTicksAlreadyDue) {
  Harness h;
  SetIntervals(h, StartOrder, RunningInterval);
  h.LoopUntil(50ms);
  // The next tick scores the round and stops play, with two more ticks already overdue.
  h.on_tick = [&h] { SetIntervals(h, StopOrder, StoppedInterval); };
  EXPECT_EQ(h.RunAt(50ms + Nominal(3)), 1);
  EXPECT_FALSE(h.schedule.NextDue());
  h.on_tick = nullptr;
  EXPECT_EQ(h.RunAt(1h), 0);

  // The first timer of the stop order alone is enough to end the run.
  Harness g;
  SetIntervals(g, StartOrder, RunningInterval);
  g.on_tick = [&g] { g.SetInterval(TimerId::Timer2, StoppedInterval); };
  EXPECT_EQ(g.RunAt(1s), 1);
}

TEST(TickSchedule, RestartPacesFromTheRestart) {
  Harness h;
  SetIntervals(h, StartOrder, RunningInterval);
  h.LoopUntil(100ms);
  SetIntervals(h, StopOrder, StoppedInterval);
  h.ticks.clear();

  const Time resume = 1'234'567'891ns;  // Space, long after the scoring tick
  h.now = resume;
  SetIntervals(h, ContinueOrder, RunningInterval);
  EXPECT_EQ(*h.schedule.NextDue(), resume + Nominal(1));
  EXPECT_EQ(h.RunAt(resume), 0);  // no tick owed for the time spent stopped
  h.LoopUntil(resume + 100ms);
  ASSERT_EQ(h.ticks.size(), 6u);
  EXPECT_EQ(h.ticks.front(), resume + Nominal(1));
}

TEST(TickSchedule, StartDuringPlayKeepsThePace) {
  Harness h;
  SetIntervals(h, StartOrder, RunningInterval);
  h.LoopUntil(100ms + 5ms);
  const auto due = h.schedule.NextDue();
  SetIntervals(h, StartOrder, RunningInterval);  // F2 while the timers already run
  EXPECT_EQ(h.schedule.NextDue(), due);
  EXPECT_EQ(*due, Nominal(7));
}

TEST(TickSchedule, ATickIsNeverReentered) {
  Harness h;
  SetIntervals(h, StartOrder, RunningInterval);
  int nested = -1;
  h.on_tick = [&h, &nested] { nested = h.schedule.RunDue(1h, [] {}); };
  EXPECT_EQ(h.RunAt(Nominal(1)), 1);
  EXPECT_EQ(nested, 0);
  EXPECT_EQ(*h.schedule.NextDue(), Nominal(2));  // the nested call moved nothing on
}

class NoCues : public CuePlayer {
 public:
  void PlayCue(std::string_view) override {}
};

// The whole chain with the real game: both ships, low on the field away from the star's pull,
// fire before the first tick; both beams hit in tick 35 and the wrecks' end scores the round in
// tick 61. No tick may follow, or the round would score again.
TEST(TickSchedule, TheScoringTickIsTheLast) {
  Field field;
  NoCues cues;
  Harness h;
  Match match{.surface = field, .cues = cues, .timers = h};
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

  // Space continues: the pace starts again from the key press.
  h.now = t0 + 10s;
  FormKeyDown(match, VkSpace);
  EXPECT_EQ(*h.schedule.NextDue(), t0 + 10s + Nominal(1));
}

}  // namespace
}  // namespace kavarin

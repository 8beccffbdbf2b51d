#include "app/pacing/paced_timers.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>

namespace kavarin {
namespace {

// Runs the event loop for `ms`, or until `done` holds.
template <typename Done>
bool Spin(int ms, Done done) {
  QElapsedTimer clock;
  clock.start();
  while (!done() && clock.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
  return done();
}

// On a real event loop; counts are checked with room for a slow machine, never timings.
TEST(PacedTimers, TicksWhileRunningAndNotOnceAfterAStopInsideATick) {
  int ticks = 0;
  PacedTimers* self = nullptr;
  PacedTimers timers([&] {
    if (++ticks == 30) SetIntervals(*self, StopOrder, StoppedInterval);
  });
  self = &timers;
  EXPECT_FALSE(timers.Armed());

  QElapsedTimer clock;
  clock.start();
  SetIntervals(timers, StartOrder, RunningInterval);
  EXPECT_EQ(ticks, 0);  // nothing runs inside the starting call
  ASSERT_TRUE(Spin(10000, [&] { return ticks >= 30; }));
  EXPECT_GE(clock.elapsed(), 490);  // 30 ticks can never come sooner than half a second
  EXPECT_FALSE(timers.Armed());     // stopped play wakes nothing
  Spin(200, [] { return false; });
  EXPECT_EQ(ticks, 30);

  SetIntervals(timers, ContinueOrder, RunningInterval);
  ASSERT_TRUE(Spin(10000, [&] { return ticks >= 33; }));
}

}  // namespace
}  // namespace kavarin

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}

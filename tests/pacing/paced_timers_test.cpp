#include "app/pacing/paced_timers.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include "match/play_timers.h"

namespace kavarin {
namespace {

// Runs the event loop until `done` holds or a generous limit passes.
template <typename Done>
bool SpinUntil(Done done, int limit_ms = 10000) {
  QElapsedTimer clock;
  clock.start();
  while (!done() && clock.elapsed() < limit_ms) {
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
  }
  return done();
}

void Spin(int ms) {
  QEventLoop loop;
  QTimer::singleShot(ms, &loop, &QEventLoop::quit);
  loop.exec();
}

TEST(PacedTimers, TicksWhileRunningAndStopsFromInsideATick) {
  int ticks = 0;
  PacedTimers* self = nullptr;
  PacedTimers timers([&] {
    ++ticks;
    if (ticks == 30) SetIntervals(*self, StopOrder, StoppedInterval);
  });
  self = &timers;
  EXPECT_FALSE(timers.Armed());

  SetIntervals(timers, StartOrder, RunningInterval);
  EXPECT_TRUE(timers.Armed());
  EXPECT_EQ(ticks, 0);  // nothing runs inside the starting call
  QElapsedTimer clock;
  clock.start();
  ASSERT_TRUE(SpinUntil([&] { return ticks >= 30; }));
  // 30 ticks are half a second of play; allow a slow machine plenty of room, but not bursts of
  // a stalled loop or a 50 ms pace.
  EXPECT_GE(clock.elapsed(), 400);

  EXPECT_FALSE(timers.Armed());
  EXPECT_EQ(timers.Interval(TimerId::Timer1), StoppedInterval);
  Spin(200);
  EXPECT_EQ(ticks, 30);  // stopped play runs no tick at all

  SetIntervals(timers, ContinueOrder, RunningInterval);
  ASSERT_TRUE(SpinUntil([&] { return ticks >= 33; }));
  SetIntervals(timers, StopOrder, StoppedInterval);
  const int stopped_at = ticks;
  Spin(100);
  EXPECT_EQ(ticks, stopped_at);
}

}  // namespace
}  // namespace kavarin

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}

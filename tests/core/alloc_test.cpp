// A tick must not touch the heap: this binary replaces the global allocation functions with
// counting ones and plays a busy match, counting only while Timer2Timer runs.

#include <gtest/gtest.h>

#include <cstdlib>
#include <new>
#include <string_view>

#include "match/keys.h"
#include "match/match.h"
#include "match/resets.h"
#include "match/tick.h"

namespace {
bool counting = false;
long allocations = 0;
}  // namespace

void* operator new(std::size_t size) {
  if (counting) ++allocations;
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}
void* operator new[](std::size_t size) {
  return ::operator new(size);
}
void operator delete(void* p) noexcept {
  std::free(p);
}
void operator delete[](void* p) noexcept {
  std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
  std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
  std::free(p);
}

namespace kavarin {
namespace {

// Counts cues without allocating, so the match is seen to be busy.
class CueCounter : public Observer {
 public:
  void CuePlayed(std::string_view) override { ++played; }
  long played = 0;
};

TEST(Allocation, CountingHookSeesAllocations) {
  const long before = allocations;
  counting = true;
  void* volatile p = ::operator new(16);
  counting = false;
  ::operator delete(p);
  EXPECT_EQ(allocations - before, 1);
}

TEST(Allocation, NoTickOfABusyMatchAllocates) {
  Simulation sim;
  CueCounter cues;
  Match match{sim, cues};
  FormCreate(match);
  Start(match);
  const long before = allocations;
  long ticks = 0;
  int rounds = 0;
  for (int i = 0; i < 30000; ++i) {
    // Both players steer, fire and set off the star; rounds are continued and matches restarted.
    FormKeyDown(match, i / 41 % 2 ? VkX : VkQ);
    FormKeyDown(match, i / 29 % 2 ? VkOem2 : VkOem4);
    FormKeyDown(match, VkS);
    FormKeyDown(match, VkOem1);
    if (i % 150 == 0) FormKeyDown(match, VkSpace);
    if (!match.Running()) {
      ++rounds;
      if (match.state.RightScore == WinningScore || match.state.LeftScore == WinningScore)
        Start(match);
      FormKeyDown(match, VkSpace);
    }
    counting = true;
    Timer2Timer(match);
    counting = false;
    ++ticks;
  }
  EXPECT_EQ(allocations - before, 0) << "over " << ticks << " ticks";
  EXPECT_GE(rounds, 50) << "the match should have gone through many rounds";
  EXPECT_GT(cues.played, 100);
}

}  // namespace
}  // namespace kavarin

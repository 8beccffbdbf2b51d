// kavarin-replay --arena: one line of results, the same for the same seed, and its errors.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <string>

namespace {

struct Outcome {
  int status = -1;
  std::string out;
};

// Runs the executable with `args` (already quoted for the shell); standard error joins the output.
Outcome Arena(const std::string& args) {
  const std::string command = std::string("'") + KAVARIN_REPLAY_EXE + "' --arena " + args + " 2>&1";
  Outcome o;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return o;
  char buffer[512];
  while (size_t n = fread(buffer, 1, sizeof buffer, pipe)) o.out.append(buffer, n);
  const int raw = pclose(pipe);
  o.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  return o;
}

TEST(ReplayArena, PrintsOneLineOfWholeMatches) {
  const Outcome first = Arena("1 random --matches 2 --seed 5");
  ASSERT_EQ(first.status, 0) << first.out;
  long left = -1, right = -1, draws = -1, frames = -1;
  int end = 0;
  ASSERT_EQ(std::sscanf(first.out.c_str(),
                        "arena left=1 right=random matches=2 left_wins=%ld right_wins=%ld "
                        "draws=%ld frames=%ld\n%n",
                        &left, &right, &draws, &frames, &end),
            4)
      << first.out;
  EXPECT_EQ(static_cast<size_t>(end), first.out.size()) << "one line only: " << first.out;
  EXPECT_EQ(left + right + draws, 2);
  // Two whole matches: at least three rounds of at least 61 ticks each.
  EXPECT_GE(frames, 2 * 3 * 61);
  EXPECT_EQ(Arena("1 random --matches 2 --seed 5").out, first.out);
  EXPECT_NE(Arena("1 random --matches 2 --seed 6").out, first.out);
}

TEST(ReplayArena, RefusesBadArgumentsInOneMessage) {
  for (const char* bad : {"", "1", "4 1", "1 x", "1 2 --matches", "1 2 --matches 0",
                          "1 2 --matches -3", "1 2 --seed x", "1 2 --rounds 3"}) {
    const Outcome o = Arena(bad);
    EXPECT_EQ(o.status, 2) << bad;
    EXPECT_TRUE(o.out.starts_with("kavarin-replay: --arena: ")) << bad << ": " << o.out;
  }
}

}  // namespace

// The kavarin-replay executable itself: where it reads its script from and its exit status.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace {

struct Outcome {
  int status = -1;
  std::string out;
  std::string err;
};

// Unique to this process and test, since the tests may run side by side.
std::string Temp(const std::string& name) {
  const std::string test = ::testing::UnitTest::GetInstance()->current_test_info()->name();
  return (std::filesystem::path(::testing::TempDir()) /
          ("kavarin-exe-" + std::to_string(getpid()) + "-" + test + "-" + name))
      .string();
}

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void Write(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

// Runs the executable with `args` (already quoted for the shell) and `input` on stdin.
Outcome RunTool(const std::string& args, const std::string& input = "") {
  const std::string in = Temp("stdin"), out = Temp("stdout"), err = Temp("stderr");
  Write(in, input);
  const std::string command = std::string("'") + KAVARIN_REPLAY_EXE + "' " + args + " <'" + in +
                              "' >'" + out + "' 2>'" + err + "'";
  const int raw = std::system(command.c_str());
  Outcome o;
  o.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  o.out = ReadAll(out);
  o.err = ReadAll(err);
  for (const std::string& f : {in, out, err}) std::filesystem::remove(f);
  return o;
}

const char* const Script =
    "start\n"
    "down 83\n"
    "tick 35\n"
    "state\n";

TEST(ReplayExecutable, ReadsTheScriptFromAFileOrFromStandardInput) {
  const std::string path = Temp("script.txt");
  Write(path, Script);
  const Outcome fromFile = RunTool("'" + path + "'");
  const Outcome fromStdin = RunTool("", Script);
  const Outcome fromDash = RunTool("-", Script);
  std::filesystem::remove(path);
  for (const Outcome* o : {&fromFile, &fromStdin, &fromDash}) {
    EXPECT_EQ(o->status, 0) << o->err;
    EXPECT_TRUE(o->err.empty()) << o->err;
    EXPECT_TRUE(o->out.starts_with("state RightY=200 LeftY=200 ")) << o->out;
    EXPECT_NE(o->out.find(" LeftBeamX=380 LeftBeamY=68 "), std::string::npos) << o->out;
    EXPECT_TRUE(o->out.ends_with(" Timer1=50 Timer2=50 Timer3=50\n")) << o->out;
  }
  EXPECT_EQ(fromFile.out, fromStdin.out);
  EXPECT_EQ(fromDash.out, fromStdin.out);
}

TEST(ReplayExecutable, ABadLineExitsWithStatus2AfterTheEarlierOutput) {
  const Outcome o = RunTool("", "state\n\ndown 65536\nstate\n");
  EXPECT_EQ(o.status, 2);
  EXPECT_TRUE(o.err.starts_with("kavarin-replay: line 3: ")) << o.err;
  EXPECT_TRUE(o.out.starts_with("state ")) << o.out;
  EXPECT_EQ(o.out.find('\n'), o.out.size() - 1) << "only the first state line: " << o.out;
}

TEST(ReplayExecutable, AMissingScriptOrExtraArgumentsExitWithStatus2) {
  const Outcome missing = RunTool(std::string("'").append(Temp("no-such-script")).append("'"));
  EXPECT_EQ(missing.status, 2);
  EXPECT_TRUE(missing.err.starts_with("kavarin-replay: ")) << missing.err;
  EXPECT_TRUE(missing.out.empty());
  const Outcome extra = RunTool("a b");
  EXPECT_EQ(extra.status, 2);
  EXPECT_TRUE(extra.err.starts_with("kavarin-replay: ")) << extra.err;
}

TEST(ReplayExecutable, AnEmptyScriptSucceedsSilently) {
  const Outcome o = RunTool("");
  EXPECT_EQ(o.status, 0);
  EXPECT_TRUE(o.out.empty());
  EXPECT_TRUE(o.err.empty());
}

}  // namespace

// Bad script lines and the field picture.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "replay_support.h"

namespace kavarin {
namespace {

// Unique to this process, since the tests may run side by side.
std::string TempPath(const std::string& name) {
  return (std::filesystem::path(::testing::TempDir()) /
          ("kavarin-" + std::to_string(getpid()) + "-" + name))
      .string();
}

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(ReplayErrors, BadLineStopsTheRunWithItsNumberAndKeepsEarlierOutput) {
  struct Case {
    std::string line;
    std::string what;  // a word the message must contain
  };
  const Case cases[] = {
      {"fly", "unknown command"},
      {"Start", "unknown command"},
      {"down", "missing"},
      {"up", "missing"},
      {"down 65 66", "extra"},
      {"down x", "malformed"},
      {"down -1", "malformed"},
      {"down 6.5", "malformed"},
      {"down 65536", "out of range"},
      {"up 99999999999999999999999", "out of range"},
      {"tick 0", "out of range"},
      {"tick 1000000001", "out of range"},
      {"tick 1e3", "malformed"},
      {"tick 2 3", "extra"},
      {"state now", "extra"},
      {"start again", "extra"},
      {"trace", "missing"},
      {"trace yes", "'yes'"},
      {"field", "missing"},
      {"field " + TempPath("no-such-dir") + "/field.pgm", "cannot write"},
  };
  for (const Case& c : cases) {
    // A traced start and tick and a state line come first; the bad line is line 5.
    const ReplayRun run = RunScript("trace on\nstart\ntick\nstate\n" + c.line + "\nstate\ntick\n");
    EXPECT_EQ(run.status, 2) << c.line;
    const std::string prefix = "kavarin-replay: line 5: ";
    EXPECT_TRUE(run.err.starts_with(prefix)) << c.line << " -> " << run.err;
    EXPECT_NE(run.err.find(c.what), std::string::npos) << c.line << " -> " << run.err;
    EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << "one line: " << run.err;
    ASSERT_FALSE(run.lines.empty()) << c.line;
    EXPECT_TRUE(run.lines.back().starts_with("state ")) << c.line << ": nothing after line 4";
    EXPECT_EQ(run.Count("clear"), 1) << c.line;
    EXPECT_EQ(run.States().size(), 1u) << c.line;
  }
  EXPECT_FALSE(std::filesystem::exists(TempPath("no-such-dir")));
}

TEST(ReplayErrors, BlankAndCommentLinesAreCountedButIgnored) {
  const ReplayRun run = RunScript("\n# a comment\n   \t \n  # indented\nstate\n\nbogus 1\n");
  EXPECT_EQ(run.status, 2);
  EXPECT_TRUE(run.err.starts_with("kavarin-replay: line 7: ")) << run.err;
  EXPECT_EQ(run.States().size(), 1u);
}

TEST(ReplayErrors, NumbersAtTheEdgesOfTheirRangesAreAccepted) {
  const ReplayRun run =
      RunScript("down 0\nup 65535\ndown 00065\ntick 1\ntick 1000000000\n\tstate  \n");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(run.err.empty());
  ASSERT_EQ(run.States().size(), 1u);
  EXPECT_EQ(run.States()[0].at("LeftThrust"), "-1") << "00065 is the A key";
  EXPECT_EQ(run.States()[0].at("Charge"), "1") << "play never started";
}

TEST(ReplayField, WritesTheFieldAsABinaryGreyMap) {
  const std::string path = TempPath("field.pgm");
  std::filesystem::remove(path);
  const ReplayRun run = RunScript("start\ndown 83\ntick\nfield " + path + "\n");
  ASSERT_EQ(run.status, 0) << run.err;
  const std::string pgm = ReadAll(path);
  const std::string header = "P5\n400 300\n255\n";
  ASSERT_EQ(pgm.size(), header.size() + 400u * 300u);
  EXPECT_EQ(pgm.substr(0, header.size()), header);
  auto pixel = [&](int x, int y) {
    return static_cast<unsigned char>(pgm[header.size() + static_cast<size_t>(y) * 400 + x]);
  };
  EXPECT_EQ(pixel(370, 200), 255) << "the right ship's nose";
  EXPECT_EQ(pixel(385, 209), 255) << "its back bar";
  EXPECT_EQ(pixel(45, 200), 255) << "the left beam";
  EXPECT_EQ(pixel(30, 200), 0) << "the launch erase crosses the left ship's nose";
  EXPECT_EQ(pixel(205, 209), 255) << "star figure A at index 2";
  EXPECT_EQ(pixel(0, 0), 0);
  EXPECT_EQ(pixel(399, 299), 0);
  for (size_t i = header.size(); i < pgm.size(); ++i) {
    const auto v = static_cast<unsigned char>(pgm[i]);
    ASSERT_TRUE(v == 0 || v == 255) << "byte " << i;
  }
  std::filesystem::remove(path);
}

// A record of an online match that was cut short at any line is an error naming the line where
// it ends, never a quiet run; one that holds more frames than it says is refused at that line.
TEST(ReplayErrors, ACutRecordIsAnErrorNamingItsLine) {
  const std::vector<std::string> lines = {
      "# Kavarin online match: 430 frames; the host flies the left ship, the guest the right one",
      "tick 20",
      "down 32",
      "tick",
      "down 65",
      "down 37",
      "tick 9",
      "up 65",
      "tick 400",
      "state"};
  std::string whole;
  for (const std::string& line : lines) whole += line + "\n";
  const ReplayRun full = RunScript(whole);
  ASSERT_EQ(full.status, ReplayOk) << full.err;
  ASSERT_EQ(full.lines.size(), 1u);
  for (size_t kept = 1; kept < lines.size(); ++kept) {
    std::string cut;
    for (size_t i = 0; i < kept; ++i) cut += lines[i] + "\n";
    const ReplayRun run = RunScript(cut);
    EXPECT_EQ(run.status, ReplayError) << kept;
    EXPECT_TRUE(run.err.starts_with("kavarin-replay: line " + std::to_string(kept + 1) + ": "))
        << run.err;
    EXPECT_NE(run.err.find("cut short"), std::string::npos) << run.err;
  }
  std::string longer = whole;
  longer.insert(longer.size() - std::string("state\n").size(), "tick\n");
  const ReplayRun run = RunScript(longer);
  EXPECT_EQ(run.status, ReplayError);
  EXPECT_TRUE(run.err.starts_with("kavarin-replay: line 10: ")) << run.err;
  // A script that is no record is not held to a count.
  EXPECT_EQ(RunScript("# a note\ntick 3\n").status, ReplayOk);
}

}  // namespace
}  // namespace kavarin

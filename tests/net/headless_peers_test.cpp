// Two headless kavarin-replay peers, host and guest, in two processes over loopback (IPv4, and
// IPv6 through the relay), each playing its own random script. Both must print the same final
// state, write the same record, and that record must be exactly the two scripts merged frame by
// frame (frame k of each script is frame k of the match) and replay to that state. A bad script
// fails at once; a peer that is stopped mid-match tells the other, which stops too, and one that
// dies is given up after 5 s.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "online/match_record.h"
#include "online/own_ship_keys.h"
#include "replay_peer.h"
#include "tests/online/random_hands.h"
#include "udp_socket.h"

namespace kavarin {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

class HeadlessPeers : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::path(::testing::TempDir()) /
           ("kavarin-peers-" + std::to_string(getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  fs::path Write(const std::string& name, const std::string& text) {
    std::ofstream(dir_ / name, std::ios::binary) << text;
    return dir_ / name;
  }
  // Plays the two scripts, the guest joining `hostAddress`; expects both peers to finish with the
  // merged record.
  void PlayAndCompare(const Script& host, const Script& guest,
                      const std::string& hostAddress = "127.0.0.1") {
    Process h({"--host", "0", "--no-router", "--record", (dir_ / "host.rec").string(),
               Write("host.txt", host.text).string()},
              dir_ / "host");
    const uint16_t port = h.WaitingPort(5);
    ASSERT_NE(port, 0) << h.Err();
    Process g({"--join", hostAddress + ":" + std::to_string(port), "--record",
               (dir_ / "guest.rec").string(), Write("guest.txt", guest.text).string()},
              dir_ / "guest");
    ASSERT_EQ(g.Wait(50), 0) << g.Err();
    ASSERT_EQ(h.Wait(10), 0) << h.Err();
    const std::string state = h.Out();
    EXPECT_TRUE(state.starts_with("state ") && state.find('\n') == state.size() - 1) << state;
    EXPECT_EQ(g.Out(), state);
    const std::string record = ReadAll(dir_ / "host.rec");
    EXPECT_EQ(ReadAll(dir_ / "guest.rec"), record);
    EXPECT_EQ(record, MergedRecord(host, guest));
    Process replay({(dir_ / "host.rec").string()}, dir_ / "replay");
    ASSERT_EQ(replay.Wait(30), 0) << replay.Err();
    EXPECT_EQ(replay.Out(), state);
  }
  fs::path dir_;
};

TEST_F(HeadlessPeers, PlayTwentyThousandFramesEachAndAgree) {
  PlayAndCompare(RandomScript(Player::Host, 20'000, 1), RandomScript(Player::Guest, 20'000, 2));
}

TEST_F(HeadlessPeers, PlayOverIPv6AndAgree) {
  KAVARIN_SKIP_WITHOUT_IPV6_LOOPBACK();
  PlayAndCompare(RandomScript(Player::Host, 3'000, 7), RandomScript(Player::Guest, 3'000, 8),
                 "[::1]");
}

TEST_F(HeadlessPeers, AShorterScriptPlaysOnWithNoInput) {
  PlayAndCompare(RandomScript(Player::Host, 3'000, 3), RandomScript(Player::Guest, 400, 4, true));
  PlayAndCompare(RandomScript(Player::Host, 250, 5, true), RandomScript(Player::Guest, 2'500, 6));
}

TEST_F(HeadlessPeers, ABadScriptFailsAtOnceAndALostPeerEndsTheMatch) {
  Process bad({"--host", "0", "--no-router", Write("bad.txt", "tick 5\nstate\n").string()},
              dir_ / "bad");
  EXPECT_EQ(bad.Wait(5), 2);
  EXPECT_TRUE(bad.Err().starts_with("kavarin-replay: line 2: ")) << bad.Err();
  EXPECT_TRUE(bad.Out().empty());

  // A guest told to stop says so to the host, which stops at once; a guest killed outright goes
  // silent, and the host gives up after 5 s. Either way the host keeps its record.
  for (const int sig : {SIGTERM, SIGKILL}) {
    Process h({"--host", "0", "--no-router", "--record", (dir_ / "host.rec").string(),
               Write("host.txt", "tick 10\n").string()},
              dir_ / "host");
    const uint16_t port = h.WaitingPort(5);
    ASSERT_NE(port, 0) << h.Err();
    Process g({"--join", "localhost:" + std::to_string(port),
               Write("guest.txt", "tick 1000000000\n").string()},
              dir_ / "guest");
    // Connecting takes well under 100 ms; by now the match is in play, and far from its longest
    // (an hour of frames, which two peers on one machine play in little more than a second).
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    g.Signal(sig);
    EXPECT_EQ(g.Wait(5), sig == SIGTERM ? 1 : 128 + SIGKILL);
    EXPECT_EQ(h.Wait(sig == SIGTERM ? 2 : 9), 1);
    EXPECT_NE(h.Err().find(sig == SIGTERM ? "the other player left" : "for 5 seconds"),
              std::string::npos)
        << h.Err();
    EXPECT_TRUE(h.Out().empty());
    Process replay({(dir_ / "host.rec").string()}, dir_ / "replay");
    EXPECT_EQ(replay.Wait(10), 0) << replay.Err();
  }
}

// A script is read in bounded memory, however long: a host holds about the same for a script
// of 2.5 million frames as for one of ten.
TEST_F(HeadlessPeers, ReadLongScriptsInBoundedMemory) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the sanitizer's allocator keeps freed memory for a while: peaks say nothing";
#endif
  long peak[2] = {};
  for (const int64_t frames : {int64_t{10}, int64_t{2'500'000}}) {
    std::string text;
    for (int64_t f = 0; f < frames; ++f) text += f % 2 ? "tick\n" : "down 32\ntick\n";
    Process h({"--host", "0", "--no-router", Write("long.txt", text).string()}, dir_ / "long");
    ASSERT_NE(h.WaitingPort(20), 0) << h.Err();
    h.Signal(SIGTERM);
    EXPECT_EQ(h.Wait(5), 1);
    peak[frames > 10] = h.PeakKb();
  }
  EXPECT_LT(peak[1] - peak[0], 24 * 1024) << peak[0] << " KB, then " << peak[1] << " KB";
  RecordProperty("peak_kb_short_script", std::to_string(peak[0]));
  RecordProperty("peak_kb_long_script", std::to_string(peak[1]));
}

// The record is refused when it is standard output's file, and nothing is touched.
TEST_F(HeadlessPeers, TheRecordNeverReplacesStandardOutput) {
  const fs::path log = Write("log.txt", "earlier output\n");
  Process h(
      {"--host", "0", "--no-router", "--record", log.string(), Write("h.txt", "tick 5\n").string()},
      dir_ / "host", Start{.appendOutTo = log.string()});
  EXPECT_EQ(h.Wait(5), 2);
  EXPECT_NE(h.Err().find("standard output"), std::string::npos) << h.Err();
  EXPECT_EQ(ReadAll(log), "earlier output\n");
}

// A final state that cannot be written says the write's own cause.
TEST_F(HeadlessPeers, AStateLineThatCannotBeWrittenSaysWhy) {
  Process full({"--host", "0", "--no-router", Write("h.txt", "tick 5\n").string()}, dir_ / "full",
               Start{.appendOutTo = "/dev/full"});
  const uint16_t port = full.WaitingPort(5);
  ASSERT_NE(port, 0) << full.Err();
  Process g({"--join", "127.0.0.1:" + std::to_string(port), Write("g.txt", "tick 5\n").string()},
            dir_ / "guest");
  EXPECT_EQ(g.Wait(20), 0) << g.Err();
  EXPECT_EQ(full.Wait(10), 1);
  EXPECT_NE(full.Err().find(std::string("standard output: ") + std::strerror(ENOSPC)),
            std::string::npos)
      << full.Err();
}

// Memory running out is one line and status 2, never an abort: here a word of 300 MB.
TEST_F(HeadlessPeers, RunningOutOfMemoryIsOneLine) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the sanitizer needs its shadow memory beyond any address-space limit";
#endif
  const fs::path big = Write("big.txt", "field ");
  fs::resize_file(big, 300u << 20);  // the rest is one long word of zero bytes
  Process r({big.string()}, dir_ / "big", Start{.appendOutTo = {}, .addressSpace = 200u << 20});
  EXPECT_EQ(r.Wait(30), 2);
  EXPECT_EQ(r.Err(), "kavarin-replay: out of memory\n");
}

}  // namespace
}  // namespace kavarin

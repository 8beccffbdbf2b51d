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
#include "tests/online/random_hands.h"
#include "udp_socket.h"

namespace kavarin {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// How a process is started: its standard output appended to a file of the test's choosing,
// and a limit on its address space.
struct Start {
  std::string appendOutTo;
  rlim_t addressSpace = RLIM_INFINITY;
};

class Process {
 public:
  // Runs kavarin-replay with `args`, its output and errors into files beside `base`.
  Process(const std::vector<std::string>& args, const fs::path& base, const Start& start = {})
      : out_(start.appendOutTo.empty() ? base.string() + ".out" : start.appendOutTo),
        err_(base.string() + ".err") {
    if (start.appendOutTo.empty()) fs::remove(out_);
    fs::remove(err_);
    pid_ = fork();
    if (pid_ == 0) {
      const rlimit limit{start.addressSpace, start.addressSpace};
      if (start.addressSpace != RLIM_INFINITY) setrlimit(RLIMIT_AS, &limit);
      const int out = open(out_.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
      const int err = open(err_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      dup2(out, 1);
      dup2(err, 2);
      std::vector<char*> argv{const_cast<char*>(KAVARIN_REPLAY_EXE)};
      for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
      argv.push_back(nullptr);
      execv(KAVARIN_REPLAY_EXE, argv.data());
      _exit(127);
    }
  }
  ~Process() {
    if (status_ == Running) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
  }
  // The exit status, or -1 if it did not end within `seconds` (it is then killed).
  int Wait(double seconds) {
    const auto deadline = Clock::now() + std::chrono::duration<double>(seconds);
    while (status_ == Running) {
      int raw = 0;
      rusage usage{};
      if (wait4(pid_, &raw, WNOHANG, &usage) == pid_) {
        peakKb_ = usage.ru_maxrss;
        status_ = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
      } else if (Clock::now() > deadline) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
        status_ = -1;
      } else {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
      }
    }
    return status_;
  }
  void Signal(int sig) const { kill(pid_, sig); }
  // The most memory it held, in KB, once it has ended.
  long PeakKb() const { return peakKb_; }
  std::string Out() const { return ReadAll(out_); }
  std::string Err() const { return ReadAll(err_); }
  // The port a host started with --host 0 says it waits on, or 0.
  uint16_t WaitingPort(double seconds) const {
    const auto deadline = Clock::now() + std::chrono::duration<double>(seconds);
    static const std::string Said = "waiting on UDP port ";
    while (Clock::now() < deadline) {
      const std::string err = Err();
      const size_t at = err.find(Said);
      if (at != std::string::npos && err.find('\n', at) != std::string::npos)
        return static_cast<uint16_t>(std::stoi(err.substr(at + Said.size())));
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return 0;
  }

 private:
  static constexpr int Running = -2;
  pid_t pid_ = -1;
  int status_ = Running;
  long peakKb_ = 0;
  std::string out_, err_;
};

// A player's random script of `frames` frames, and each frame's events as the match takes them.
struct Script {
  std::string text;
  std::vector<FrameInput> frames;
};

Script RandomScript(Player player, int64_t frames, uint64_t seed, bool trailing = false) {
  RandomHands hands(seed);
  Script s;
  int64_t ticks = 0;
  auto line = [&](const InputEvent& e) {
    if (e.kind == EventKind::Start) return std::string("start\n");
    return std::string(e.kind == EventKind::KeyDown ? "down " : "up ") + std::to_string(e.key) +
           "\n";
  };
  for (int64_t f = 0; f < frames + (trailing ? 1 : 0); ++f) {
    const std::vector<InputEvent> made = hands.Frame();
    FrameInput own;
    for (const InputEvent& e : made)
      if (auto o = ForOwnShip(player, e)) own.Add(*o);
    if (f == frames && own.Empty()) own.Add(*ForOwnShip(player, {EventKind::KeyDown, 32}));
    if (!made.empty() || f == frames) {
      if (ticks > 0) s.text += "tick " + std::to_string(ticks) + "\n";
      ticks = 0;
      for (const InputEvent& e : made) s.text += line(e);
      if (f == frames && own.Size() != static_cast<int>(made.size())) s.text += "down 32\n";
    }
    s.frames.push_back(own);
    if (f < frames) ++ticks;
  }
  if (ticks > 0) s.text += "tick " + std::to_string(ticks) + "\n";
  return s;
}

// The record both machines must write: the two scripts frame by frame.
std::string MergedRecord(const Script& host, const Script& guest) {
  MatchRecord record;
  const size_t frames = std::max(host.frames.size(), guest.frames.size());
  for (size_t f = 0; f < frames; ++f)
    record.Add(f < host.frames.size() ? host.frames[f] : FrameInput{},
               f < guest.frames.size() ? guest.frames[f] : FrameInput{});
  return record.Script();
}

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

#pragma once

// Headless kavarin-replay peers in processes of their own, for the tests that play matches
// between them: the process, a player's random script, and the record two scripts make.
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "online/match_record.h"
#include "online/own_ship_keys.h"
#include "tests/online/random_hands.h"

namespace kavarin {

namespace fs = std::filesystem;
using PeerClock = std::chrono::steady_clock;

inline std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// How a process is started: its standard output appended to a file of the test's choosing,
// and a limit on its address space.
struct Start {
  std::string appendOutTo;
  std::string program = KAVARIN_REPLAY_EXE;
  rlim_t addressSpace = RLIM_INFINITY;
};

class Process {
 public:
  // Runs kavarin-replay (or the program of `start`) with `args`, its output and errors into files
  // beside `base`.
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
      std::vector<char*> argv{const_cast<char*>(start.program.c_str())};
      for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
      argv.push_back(nullptr);
      execv(start.program.c_str(), argv.data());
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
    const auto deadline = PeerClock::now() + std::chrono::duration<double>(seconds);
    while (status_ == Running) {
      int raw = 0;
      rusage usage{};
      if (wait4(pid_, &raw, WNOHANG, &usage) == pid_) {
        peakKb_ = usage.ru_maxrss;
        status_ = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
      } else if (PeerClock::now() > deadline) {
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
    const auto deadline = PeerClock::now() + std::chrono::duration<double>(seconds);
    static const std::string Said = "waiting on UDP port ";
    while (PeerClock::now() < deadline) {
      const std::string err = Err();
      const size_t at = err.find(Said);
      if (at != std::string::npos && err.find('\n', at) != std::string::npos)
        return static_cast<uint16_t>(std::stoi(err.substr(at + Said.size())));
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return 0;
  }

  // What follows `said` on its line of standard output (or errors), once the whole line is
  // there; empty if it did not come within `seconds`.
  std::string LineAfter(const std::string& said, double seconds, bool onErr = false) const {
    const auto deadline = PeerClock::now() + std::chrono::duration<double>(seconds);
    while (PeerClock::now() < deadline) {
      const std::string text = onErr ? Err() : Out();
      const size_t at = text.find(said);
      const size_t end = at == std::string::npos ? at : text.find('\n', at);
      if (end != std::string::npos) return text.substr(at + said.size(), end - at - said.size());
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return {};
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

inline Script RandomScript(Player player, int64_t frames, uint64_t seed, bool trailing = false) {
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
inline std::string MergedRecord(const Script& host, const Script& guest) {
  MatchRecord record;
  const size_t frames = std::max(host.frames.size(), guest.frames.size());
  for (size_t f = 0; f < frames; ++f)
    record.Add(f < host.frames.size() ? host.frames[f] : FrameInput{},
               f < guest.frames.size() ? guest.frames[f] : FrameInput{});
  return record.Script();
}

}  // namespace kavarin

// The headless online peer. Its script holds its player's inputs only: `down`, `up` and `start`
// lines, and `tick N` for N frames. Frame k of the script is frame k of the match on both
// machines (the input delay is 0), so the record of the match holds, for each frame, the host's
// events of its script's frame k, then the guest's, then a tick. Events after a script's last tick
// get a frame of their own. The shorter script plays on with no input until the longer one ends.
// The peer runs as fast as the link and the 8-frame window allow, not at 60 frames a second.
#include "tools/replay/online_peer.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <iostream>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "cli/option_table.h"
#include "files/record_file.h"
#include "online/endpoint.h"
#include "online/enet_transport.h"
#include "online/own_ship_keys.h"
#include "online/session.h"
#include "tools/observers/trace_lines.h"
#include "tools/replay/line_reader.h"
#include "tools/replay/replay.h"

namespace kavarin {

namespace {

constexpr int ExitOk = 0;
constexpr int ExitFailed = 1;
constexpr int ExitBad = 2;
// A guest that hears nothing from the host for this long gives up.
constexpr auto ConnectTimeout = std::chrono::seconds(5);
// A finished peer waits this long at most to hear that the other has all it needs.
constexpr auto LingerTimeout = std::chrono::seconds(5);

// Interrupted or told to stop: the other side is told at once.
volatile std::sig_atomic_t stopAsked = 0;
extern "C" void AskToStop(int) {
  stopAsked = 1;
}

struct Arguments {
  bool online = false;  // --host or --join given
  bool host = false;
  uint16_t port = DefaultPort;
  std::string joinHost;
  std::string record;
  std::string script;
  std::vector<KeptFile> kept;  // what the record must never replace: the script
};

// Events to give in one frame, then that many frames to run.
struct Step {
  FrameInput events;
  int64_t ticks = 0;
};

struct BadLine {
  std::string what;
};

int64_t Number(std::string_view word, std::string_view what, int64_t highest) {
  int64_t value = 0;
  bool ok = !word.empty();
  for (char c : word) {
    ok = ok && c >= '0' && c <= '9';
    if (ok) value = std::min<int64_t>(value * 10 + (c - '0'), highest + 1);
  }
  if (!ok || value > highest)
    throw BadLine{std::string(what) + " '" + std::string(word.substr(0, 40)) +
                  "' is not a number in 0.." + std::to_string(highest)};
  return value;
}

// How many words an online script's command takes, its name included.
size_t OnlineWordsTaken(std::string_view name) {
  return name == "down" || name == "up" || name == "tick" ? 2 : 1;
}

// The whole script, checked before anything is sent: the steps of its player's inputs. Read as
// kavarin-replay reads scripts, in memory bounded by the longest argument.
std::vector<Step> ReadSteps(ScriptSource& source, Player player, std::ostream& err, bool& ok) {
  std::vector<Step> steps;
  Step step;
  LineReader reader(source, OnlineWordsTaken);
  ok = true;
  try {
    while (reader.Next()) {
      const std::vector<std::string_view>& words = reader.Words();
      if (words.empty()) continue;  // blank, or a comment
      const std::string_view command = words[0];
      const size_t wanted = command == "down" || command == "up" ? 2 : command == "tick" ? 0 : 1;
      if (command != "down" && command != "up" && command != "start" && command != "tick")
        throw BadLine{"'" + std::string(command.substr(0, 40)) +
                      "' cannot be used online: only down, up, start and tick"};
      if ((wanted != 0 && words.size() != wanted) || words.size() > 2)
        throw BadLine{"wrong number of words for " + std::string(command)};
      if (command == "tick") {
        step.ticks = words.size() == 2 ? Number(words[1], "tick count", 1'000'000'000) : 1;
        if (step.ticks == 0) throw BadLine{"tick count 0"};
        steps.push_back(step);
        step = Step{};
        continue;
      }
      InputEvent event{EventKind::Start, 0};
      if (command != "start") {
        event.kind = command == "down" ? EventKind::KeyDown : EventKind::KeyUp;
        event.key = static_cast<uint16_t>(Number(words[1], "key code", 65535));
      }
      // Keys the game does not use are dropped, as the session drops them.
      if (const std::optional<InputEvent> own = ForOwnShip(player, event)) {
        if (!step.events.Add(*own))
          throw BadLine{"more than " + std::to_string(MaxEventsPerFrame) + " events in one frame"};
      }
    }
  } catch (const BadLine& bad) {
    err << "kavarin-replay: line " << reader.Number() << ": " << bad.what << "\n";
    ok = false;
    return steps;
  } catch (const ReadFailure& failure) {
    err << "kavarin-replay: line " << reader.Number() + 1
        << ": cannot read the script: " << failure.cause << "\n";
    ok = false;
    return steps;
  }
  if (!step.events.Empty()) steps.push_back(step);  // a frame of its own
  return steps;
}

std::optional<std::string> GoOnline(Arguments& a, bool host) {
  if (a.online) return "give --host or --join once";
  a.online = true;
  a.host = host;
  return std::nullopt;
}

constexpr OptionOf<Arguments> PeerOptions[] = {
    {"--host", OptionTakes::Value, "PORT", "wait for the other player on UDP port PORT (0: any)",
     [](Arguments& a, std::optional<std::string_view> value) -> std::optional<std::string> {
       if (auto wrong = GoOnline(a, true)) return wrong;
       std::string error;
       const std::optional<uint16_t> port = ParsePort(*value, true, error);
       if (!port) return error;
       a.port = *port;
       return std::nullopt;
     }},
    {"--join", OptionTakes::Value, "HOST[:PORT]", "play against the player waiting on HOST",
     [](Arguments& a, std::optional<std::string_view> value) -> std::optional<std::string> {
       if (auto wrong = GoOnline(a, false)) return wrong;
       std::string error;
       const std::optional<Endpoint> e = ParseEndpoint(*value, error);
       if (!e) return error;
       a.joinHost = e->host;
       a.port = e->port;
       return std::nullopt;
     }},
    {"--record", OptionTakes::Value, "FILE", "write the match's record to FILE when it ends",
     [](Arguments& a, std::optional<std::string_view> value) -> std::optional<std::string> {
       if (value->empty()) return "needs a file name";
       a.record = std::string(*value);
       return std::nullopt;
     }},
};

bool ParseArguments(int argc, char** argv, Arguments& a, std::ostream& err) {
  const std::vector<std::string_view> words(argv + std::min(argc, 1), argv + argc);
  std::optional<std::string> error =
      ParseOptions<Arguments>(PeerOptions, words, a, [](Arguments& to, std::string_view word) {
        if (!to.script.empty()) return false;
        to.script = word;
        return true;
      });
  if (!error && a.script.empty()) error = "no script given";
  if (!error) return true;
  err << "kavarin-replay: " << *error
      << "\nusage: kavarin-replay --host PORT [--record FILE] SCRIPT\n"
         "       kavarin-replay --join HOST[:PORT] [--record FILE] SCRIPT\n"
      << OptionLines<Arguments>(PeerOptions);
  return false;
}

// Gives the script's inputs to the session frame by frame: the events of the script's frame k
// go in while frame k is the one to be simulated next, and each simulated frame is one tick.
class Feeder {
 public:
  explicit Feeder(const std::vector<Step>& steps) : steps_(steps) {}
  bool Done() const { return step_ == steps_.size(); }
  void Feed(Session& session) {
    if (Done() || fed_) return;
    for (const InputEvent& e : steps_[step_].events.Events()) session.Input(e);
    fed_ = true;
    left_ = steps_[step_].ticks;
    if (left_ == 0) Next();
  }
  void Simulated() {
    if (fed_ && --left_ == 0) Next();
  }

 private:
  void Next() {
    ++step_;
    fed_ = false;
  }
  const std::vector<Step>& steps_;
  size_t step_ = 0;
  bool fed_ = false;
  int64_t left_ = 0;
};

bool Record(const Arguments& a, const Session& session, std::ostream& err) {
  if (a.record.empty()) return true;
  std::string error;
  if (WriteRecord(a.record, session.Record().Script(), error, a.kept)) return true;
  err << "kavarin-replay: " << error << "\n";
  return false;
}

int Play(const Arguments& a, const std::vector<Step>& steps, EnetTransport& transport,
         std::ostream& out, std::ostream& err) {
  const uint64_t seed = FreshSeed();
  SessionDisplay display;
  Session session(a.host ? Player::Host : Player::Guest, transport, display,
                  SessionOptions{.paced = false, .inputDelay = 0, .seed = seed});
  Feeder feeder(steps);
  bool ended = false;
  std::chrono::steady_clock::time_point finishedAt{};
  while (true) {
    session.Poll(SteadyNowUs());
    if (session.State() == SessionState::Playing) feeder.Feed(session);
    if (!ended && feeder.Done() && session.State() == SessionState::Playing) {
      session.EndInputs();
      ended = true;
    }
    // A frame is simulated only after its events went in: a session that has just started
    // playing waits for the next pass, when frame 0 gets them.
    const bool simulated =
        (session.State() == SessionState::Playing || session.State() == SessionState::Finished) &&
        session.Tick(SteadyNowUs());
    if (simulated) feeder.Simulated();
    transport.Service();
    if (transport.State() == EnetTransport::Link::Closed) {
      session.Poll(SteadyNowUs());  // the other side's goodbye comes before the link's end
      session.OtherLeft();
    }

    if (stopAsked && session.State() != SessionState::Finished) {
      session.Leave();
      transport.Close();
      err << "kavarin-replay: stopped before the match ended\n";
      Record(a, session, err);
      return ExitFailed;
    }
    switch (session.State()) {
      case SessionState::Finished: {
        const auto now = std::chrono::steady_clock::now();
        if (finishedAt == std::chrono::steady_clock::time_point{}) finishedAt = now;
        if (!session.PeerHasAll() && transport.State() != EnetTransport::Link::Closed &&
            now - finishedAt < LingerTimeout)
          break;
        std::string line;
        AppendStateLine(line, session.SettledState());
        out << line << "\n" << std::flush;
        session.Leave();
        transport.Close();
        const bool recorded = Record(a, session, err);
        if (!out) {
          err << "kavarin-replay: cannot write standard output: " << std::strerror(errno) << "\n";
          return ExitFailed;
        }
        return recorded ? ExitOk : ExitFailed;
      }
      case SessionState::Desynced:
        // The notices go out over the next polls.
        // The session sends one notice a poll: a frame apart, so that one lost burst does not
        // take them all.
        for (int i = 0; i < 8; ++i) {
          session.Poll(SteadyNowUs());
          transport.Service();
          transport.Wait(16);
        }
        transport.Close();
        err << "kavarin-replay: the two machines' simulations differ after frame "
            << session.Settled()
            << "; the match stopped. Please attach both machines' records to a bug report.\n";
        Record(a, session, err);
        return ExitFailed;
      case SessionState::PeerLeft:
        err << "kavarin-replay: the other player left before the match ended\n";
        Record(a, session, err);
        return ExitFailed;
      case SessionState::PeerLost:
        err << "kavarin-replay: nothing heard from the other player for 5 seconds; the match "
               "ended\n";
        Record(a, session, err);
        return ExitFailed;
      default:
        break;
    }
    if (!simulated) transport.Wait(1);
  }
}

}  // namespace

bool IsOnlinePeerCommand(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--host" || arg == "--join") return true;
  }
  return false;
}

int RunOnlinePeer(int argc, char** argv, std::ostream& out, std::ostream& err) {
  Arguments a;
  if (!ParseArguments(argc, argv, a, err)) return ExitBad;
  const Player player = a.host ? Player::Host : Player::Guest;
  int script = STDIN_FILENO;
  if (a.script != "-") {
    script = ::open(a.script.c_str(), O_RDONLY | O_CLOEXEC);
    if (script < 0) {
      err << "kavarin-replay: cannot read '" << a.script << "': " << std::strerror(errno) << "\n";
      return ExitBad;
    }
  }
  // The record is checked before the match, so that its end does not find it unwritable; it
  // never replaces the script, whether named or given on standard input.
  std::string error;
  if (auto id = IdOfOpenFile(script)) a.kept.push_back({*id, "the script being read"});
  if (!a.record.empty() && !MayWriteRecord(a.record, error, a.kept)) {
    err << "kavarin-replay: " << error << "\n";
    return ExitBad;
  }
  bool ok = false;
  FdSource source(script);
  const std::vector<Step> steps = ReadSteps(source, player, err, ok);
  if (script != STDIN_FILENO) ::close(script);
  if (!ok) return ExitBad;

  std::unique_ptr<EnetTransport> transport = a.host
                                                 ? EnetTransport::Listen(a.port, error)
                                                 : EnetTransport::Join(a.joinHost, a.port, error);
  if (!transport) {
    err << "kavarin-replay: " << error << "\n";
    return ExitFailed;
  }
  // With port 0 the system chose one: say which, for the guest.
  if (a.host && a.port == 0)
    err << "kavarin-replay: waiting on UDP port " << transport->Port() << "\n" << std::flush;
  std::signal(SIGINT, AskToStop);
  std::signal(SIGTERM, AskToStop);
  const auto start = std::chrono::steady_clock::now();
  while (transport->State() != EnetTransport::Link::Connected) {
    if (stopAsked) {
      err << "kavarin-replay: stopped before the other player connected\n";
      return ExitFailed;
    }
    if (transport->State() == EnetTransport::Link::Closed ||
        (!a.host && std::chrono::steady_clock::now() - start > ConnectTimeout)) {
      err << "kavarin-replay: cannot reach " << EndpointText({a.joinHost, a.port}) << "\n";
      return ExitFailed;
    }
    transport->Service();
    transport->Wait(5);
  }
  return Play(a, steps, *transport, out, err);
}

}  // namespace kavarin

// The headless online peer: one player of a match over the network, its inputs from a script
// (see online_script.h), driven by the online loop as fast as the link and the 8-frame window
// allow, not at 60 frames a second.
#include "tools/replay/online_peer.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "files/record_file.h"
#include "online/endpoint.h"
#include "online/enet_transport.h"
#include "online/lobby_endpoint.h"
#include "online/lobby_guest_link.h"
#include "online/lobby_host_link.h"
#include "online/lobby_link_path.h"
#include "online/online_loop.h"
#include "online/router_ports.h"
#include "online/session.h"
#include "tools/observers/trace_lines.h"
#include "tools/replay/online_peer_options.h"
#include "tools/replay/online_script.h"
#include "tools/replay/replay.h"

namespace kavarin {

namespace {

constexpr int ExitOk = 0;
constexpr int ExitFailed = 1;
constexpr int ExitBad = 2;

// Interrupted or told to stop: the other side is told at once.
volatile std::sig_atomic_t stopAsked = 0;
extern "C" void AskToStop(int) {
  stopAsked = 1;
}

// What the peer says when the match has ended, and its exit status.
int Outcome(const PeerArguments& a, const OnlineLoop& loop, OutputSink& out, std::ostream& err) {
  const Session& session = loop.Game();
  switch (loop.Why()) {
    case MatchEnd::Finished: {
      if (session.AtLongest())
        err << "kavarin-replay: the match reached its longest, " << session.EndFrame()
            << " frames (an hour), and ended there\n";
      std::string line;
      AppendStateLine(line, session.SettledState());
      line += "\n";
      // The sink says the write's own cause: nothing runs between it and the message.
      if (const std::optional<std::string> why = out.Write(line)) {
        err << "kavarin-replay: cannot write standard output: " << *why << "\n";
        return ExitFailed;
      }
      break;
    }
    case MatchEnd::Desynced:
      err << "kavarin-replay: the two machines' simulations differ after frame "
          << session.Settled()
          << "; the match stopped. Please attach both machines' records to a bug report.\n";
      break;
    case MatchEnd::PeerLeft:
      err << "kavarin-replay: the other player left before the match ended\n";
      break;
    case MatchEnd::CouldNotConnect:
      if (!a.host || !loop.Failure().empty()) {
        const std::string why = loop.Failure();
        const std::string whom =
            a.lobby ? "the host of the room" : EndpointText({a.joinHost, a.port});
        err << "kavarin-replay: " << (why.empty() ? "cannot reach " + whom : why) << "\n";
        break;
      }
      [[fallthrough]];
    case MatchEnd::PeerLost:
      err << (session.Stalled() ? "kavarin-replay: no new frame from the other player for 5 "
                                  "seconds; the match ended\n"
                                : "kavarin-replay: nothing heard from the other player for 5 "
                                  "seconds; the match ended\n");
      break;
    case MatchEnd::Left:
      err << "kavarin-replay: "
          << (loop.Played() ? "stopped before the match ended"
                            : "stopped before the other player connected")
          << "\n";
      break;
  }
  if (!loop.RecordError().empty()) {
    err << "kavarin-replay: " << loop.RecordError() << "\n";
    return ExitFailed;
  }
  return loop.Why() == MatchEnd::Finished ? ExitOk : ExitFailed;
}

int Play(const PeerArguments& a, const std::vector<Step>& steps, OutputSink& out,
         std::ostream& err) {
  const auto started = std::chrono::steady_clock::now();
  SessionDisplay display;
  uint16_t port = a.port;
  std::optional<UdpAddress> lobby;
  if (a.lobby) {
    std::string error;
    if (!(lobby = ResolveLobby(*a.lobby, error))) {
      err << "kavarin-replay: " << error << "\n";
      return ExitFailed;
    }
  }
  // The room the host was given, to say once.
  const LobbyHostLink* roomHost = nullptr;
  // A host that waits afresh does so on the port it said.
  const auto open = [&](std::string& error) -> std::unique_ptr<Transport> {
    if (lobby && a.host) {
      std::unique_ptr<LobbyHostLink> link = LobbyHostLink::Open(*lobby, error);
      roomHost = link.get();
      return link;
    }
    if (lobby) return LobbyGuestLink::Open(*lobby, *a.room, error);
    std::unique_ptr<EnetTransport> link = a.host ? EnetTransport::Listen(port, error)
                                                 : EnetTransport::Join(a.joinHost, a.port, error);
    if (link) port = link->Port();
    return link;
  };
  // As fast as the link and the 8-frame window allow; a guest gives up on its host after 5 s,
  // or, through the lobby, after its 10 s for an answer and the knocking after it.
  OnlineLoop loop(a.host ? Player::Host : Player::Guest, open, display,
                  LoopOptions{.session = {.paced = false, .inputDelay = 0, .seed = FreshSeed()},
                              .connectTimeoutUs = lobby ? 15'000'000 : 5'000'000,
                              .record = a.record,
                              .kept = a.kept});
  std::string error;
  if (!loop.Open(error)) {
    err << "kavarin-replay: " << error << "\n";
    return ExitFailed;
  }
  // With port 0 the system chose one: say which, for the guest.
  if (a.host && a.port == 0 && !lobby)
    err << "kavarin-replay: waiting on UDP port " << port << "\n" << std::flush;
  // The router is asked off the loop: the host waits at once, and says the answer when it comes.
  // A host met through a lobby has no port of its own to forward.
  std::optional<RouterPorts> router;
  bool routerTold = false;
  if (a.host && a.router && !lobby) router.emplace(port);
  const auto tellRouter = [&] {
    if (!router || routerTold) return;
    const RouterStatus status = router->Status();
    if (status.answer == RouterAnswer::Asking) return;
    err << "kavarin-replay: " << RouterLine(status) << "\n" << std::flush;
    routerTold = true;
  };
  std::signal(SIGINT, AskToStop);
  std::signal(SIGTERM, AskToStop);
  Feeder feeder(steps);
  const auto inputs = [&feeder](Session& session) { feeder.Feed(session); };
  bool saidRoom = false, saidPath = false, saidFirst = false;
  while (!loop.Ended()) {
    tellRouter();
    // The code goes out first and at once: whoever started us gives it to the other player.
    if (roomHost && !saidRoom && roomHost->Code()) {
      saidRoom = true;
      if (const std::optional<std::string> why =
              out.Write("room " + RoomCodeText(*roomHost->Code()) + "\n")) {
        err << "kavarin-replay: cannot write standard output: " << *why << "\n";
        loop.Leave();
        break;
      }
    }
    if (lobby && !saidPath && loop.Linked()) {
      if (const std::optional<LinkPath> path = LobbyPathOf(loop.Link())) {
        saidPath = true;
        err << "kavarin-replay: linked on the " << LinkPathName(*path) << " path to "
            << loop.Link().PeerAddress() << "\n";
      }
    }
    if (lobby && !saidFirst && loop.Played() && loop.Game().Settled() >= 0) {
      saidFirst = true;
      err << "kavarin-replay: first shared frame "
          << std::chrono::duration_cast<std::chrono::milliseconds>(
                 std::chrono::steady_clock::now() - started)
                 .count()
          << " ms after start\n";
    }
    // Interrupted or told to stop: the other side is told at once. A finished match still
    // waits for the other to have all it needs.
    if (stopAsked && loop.Game().State() != SessionState::Finished) {
      loop.Leave();
      break;
    }
    const OnlineLoop::Report report = loop.Frame(SteadyNowUs(), inputs);
    if (report == OnlineLoop::Report::NewFrame)
      feeder.Simulated();
    else if (report == OnlineLoop::Report::Waiting)
      loop.Wait(1);
  }
  // The last notices go out.
  while (!loop.Done()) {
    loop.Frame(SteadyNowUs());
    loop.Wait(1);
  }
  // The mapping goes with the match; a match shorter than the asking still says the answer.
  if (router) {
    router->Close();
    tellRouter();
  }
  return Outcome(a, loop, out, err);
}

}  // namespace

bool IsOnlinePeerCommand(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--host" || arg == "--join" || arg == "--lobby" || arg == "--room" ||
        arg == "--new-room")
      return true;
  }
  return false;
}

int RunOnlinePeer(int argc, char** argv, OutputSink& out, std::ostream& err) {
  PeerArguments a;
  if (!ParsePeerArguments(argc, argv, a, err)) return ExitBad;
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
  if (auto id = IdOfOpenFile(STDOUT_FILENO))
    a.kept.push_back({*id, "standard output (the final state is written there)"});
  if (!a.record.empty() && !MayWriteRecord(a.record, error, a.kept)) {
    err << "kavarin-replay: " << error << "\n";
    return ExitBad;
  }
  bool ok = false;
  FdSource source(script);
  const std::vector<Step> steps = ReadSteps(source, player, err, ok);
  if (script != STDIN_FILENO) ::close(script);
  if (!ok) return ExitBad;

  return Play(a, steps, out, err);
}

}  // namespace kavarin

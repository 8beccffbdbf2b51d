#include "tools/replay/online_peer_options.h"

#include <algorithm>
#include <optional>
#include <string_view>

#include "cli/option_table.h"
#include "online/lobby_endpoint.h"

namespace kavarin {

namespace {

std::optional<std::string> GoOnline(PeerArguments& a, bool host) {
  if (a.online) return "give one of --host, --join and --lobby, once";
  a.online = true;
  a.host = host;
  return std::nullopt;
}

constexpr OptionOf<PeerArguments> PeerOptions[] = {
    {"--host", OptionTakes::Value, "PORT", "wait for the other player on UDP port PORT (0: any)",
     [](PeerArguments& a, std::optional<std::string_view> value) -> std::optional<std::string> {
       if (auto wrong = GoOnline(a, true)) return wrong;
       std::string error;
       const std::optional<uint16_t> port = ParsePort(*value, true, error);
       if (!port) return error;
       a.port = *port;
       return std::nullopt;
     }},
    {"--join", OptionTakes::Value, "HOST[:PORT]", "play against the player waiting on HOST",
     [](PeerArguments& a, std::optional<std::string_view> value) -> std::optional<std::string> {
       if (auto wrong = GoOnline(a, false)) return wrong;
       std::string error;
       const std::optional<Endpoint> e = ParseEndpoint(*value, error);
       if (!e) return error;
       a.joinHost = e->host;
       a.port = e->port;
       return std::nullopt;
     }},
    {"--lobby", OptionTakes::Value, "HOST[:PORT]",
     "meet the other player through the kavarin-lobby on HOST",
     [](PeerArguments& a, std::optional<std::string_view> value) -> std::optional<std::string> {
       if (auto wrong = GoOnline(a, false)) return wrong;
       std::string error;
       a.lobby = ParseLobbyEndpoint(*value, error);
       if (!a.lobby) return error;
       return std::nullopt;
     }},
    {"--new-room", OptionTakes::Nothing, "",
     "with --lobby: ask for a new room, say its code and wait in it as the host",
     [](PeerArguments& a, std::optional<std::string_view>) -> std::optional<std::string> {
       if (a.newRoom || a.room) return "give --new-room or --room once";
       a.newRoom = true;
       return std::nullopt;
     }},
    {"--room", OptionTakes::Value, "CODE", "with --lobby: join the room of CODE as the guest",
     [](PeerArguments& a, std::optional<std::string_view> value) -> std::optional<std::string> {
       if (a.newRoom || a.room) return "give --new-room or --room once";
       std::string error;
       a.room = ParseRoomCode(*value, error);
       if (!a.room) return error;
       return std::nullopt;
     }},
    {"--no-router", OptionTakes::Nothing, "",
     "as host, do not ask the router (UPnP IGD, NAT-PMP) to forward the port",
     [](PeerArguments& a, std::optional<std::string_view>) -> std::optional<std::string> {
       a.router = false;
       return std::nullopt;
     }},
    {"--record", OptionTakes::Value, "FILE", "write the match's record to FILE when it ends",
     [](PeerArguments& a, std::optional<std::string_view> value) -> std::optional<std::string> {
       if (value->empty()) return "needs a file name";
       a.record = std::string(*value);
       return std::nullopt;
     }},
};

}  // namespace

bool ParsePeerArguments(int argc, char** argv, PeerArguments& a, std::ostream& err) {
  const std::vector<std::string_view> words(argv + std::min(argc, 1), argv + argc);
  std::optional<std::string> error = ParseOptions<PeerArguments>(
      PeerOptions, words, a, [](PeerArguments& to, std::string_view word) {
        if (!to.script.empty()) return false;
        to.script = word;
        return true;
      });
  if (!error && a.lobby && !a.newRoom && !a.room) error = "--lobby needs --new-room or --room";
  if (!error && !a.lobby && (a.newRoom || a.room)) error = "--new-room and --room need --lobby";
  if (!error && a.newRoom) a.host = true;
  if (!error && a.script.empty()) error = "no script given";
  if (!error) return true;
  err << "kavarin-replay: " << *error
      << "\nusage: kavarin-replay --host PORT [--no-router] [--record FILE] SCRIPT\n"
         "       kavarin-replay --join HOST[:PORT] [--record FILE] SCRIPT\n"
         "       kavarin-replay --lobby HOST[:PORT] --new-room [--record FILE] SCRIPT\n"
         "       kavarin-replay --lobby HOST[:PORT] --room CODE [--record FILE] SCRIPT\n"
      << OptionLines<PeerArguments>(PeerOptions);
  return false;
}

}  // namespace kavarin

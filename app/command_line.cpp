#include "app/command_line.h"

#include <algorithm>
#include <cstdio>

#include "online/endpoint.h"
#include "online/lobby_endpoint.h"

namespace kavarin {
namespace {

using Takes = CommandLineOption::Takes;

std::optional<std::string> RaiseTo(CommandLine& line, CommandLine::Action action) {
  line.action = std::max(line.action, action);
  return std::nullopt;
}

std::optional<std::string> GoOnline(CommandLine& line, CommandLine::Online how) {
  if (line.online != CommandLine::Online::No) return "only one of --host, --join and --lobby";
  line.online = how;
  return std::nullopt;
}

std::optional<std::string> Host(CommandLine& line, std::optional<std::string_view> value) {
  if (auto wrong = GoOnline(line, CommandLine::Online::Host)) return wrong;
  line.port = DefaultPort;
  if (!value) return std::nullopt;
  std::string error;
  const std::optional<uint16_t> port = ParsePort(*value, false, error);
  if (!port) return error;
  line.port = *port;
  return std::nullopt;
}

std::optional<std::string> Join(CommandLine& line, std::optional<std::string_view> value) {
  if (auto wrong = GoOnline(line, CommandLine::Online::Join)) return wrong;
  std::string error;
  const std::optional<Endpoint> to = ParseEndpoint(*value, error);
  if (!to) return error;
  line.joinHost = to->host;
  line.port = to->port;
  return std::nullopt;
}

std::optional<std::string> Lobby(CommandLine& line, std::optional<std::string_view> value) {
  // A host unless --room comes too.
  if (auto wrong =
          GoOnline(line, line.room ? CommandLine::Online::Join : CommandLine::Online::Host))
    return wrong;
  std::string error;
  line.lobby = ParseLobbyEndpoint(*value, error);
  if (!line.lobby) return error;
  return std::nullopt;
}

std::optional<std::string> Room(CommandLine& line, std::optional<std::string_view> value) {
  if (line.room) return "give it once";
  std::string error;
  line.room = ParseRoomCode(*value, error);
  if (!line.room) return error;
  if (line.lobby) line.online = CommandLine::Online::Join;
  return std::nullopt;
}

std::optional<std::string> Computer(CommandLine& line, std::optional<std::string_view> value) {
  line.computer = 2;
  if (!value) return std::nullopt;
  if (value->size() != 1 || (*value)[0] < '1' || (*value)[0] > '3')
    return "the level is 1, 2 or 3, not " + std::string(*value);
  line.computer = (*value)[0] - '0';
  return std::nullopt;
}

std::optional<std::string> Record(CommandLine& line, std::optional<std::string_view> value) {
  if (value->empty()) return "needs a file name";
  line.record = std::string(*value);
  return std::nullopt;
}

std::optional<std::string> Lang(CommandLine& line, std::optional<std::string_view> value) {
  line.language = LanguageNamed(*value);
  if (!line.language) return "takes ja or en";
  return std::nullopt;
}

constexpr CommandLineOption Options[] = {
    {"--host", Takes::OptionalValue, "PORT",
     "wait for the other player on UDP port PORT (29170 unless given)", Host},
    {"--no-router", Takes::Nothing, "",
     "as host, do not ask the router (UPnP IGD, NAT-PMP) to forward the port",
     [](CommandLine& line, auto) -> std::optional<std::string> {
       line.router = false;
       return std::nullopt;
     }},
    {"--join", Takes::Value, "HOST[:PORT]", "play against the player waiting on HOST", Join},
    {"--lobby", Takes::Value, "HOST[:PORT]",
     "meet the other player through the kavarin-lobby on HOST: a new room, its code in the title",
     Lobby},
    {"--room", Takes::Value, "CODE", "with --lobby: join the room of CODE", Room},
    {"--computer", Takes::OptionalValue, "LEVEL",
     "play against the computer: 1 easy, 2 fair (default), 3 strong", Computer},
    {"--record", Takes::Value, "FILE", "write the match's record to FILE when it ends", Record},
    {"--lang", Takes::Value, "ja|en", "the window's language (the desktop's unless given)", Lang},
    {"--help", Takes::Nothing, "", "print this help and exit",
     [](CommandLine& line, auto) { return RaiseTo(line, CommandLine::Action::Help); }},
    {"--version", Takes::Nothing, "", "print the version and exit",
     [](CommandLine& line, auto) { return RaiseTo(line, CommandLine::Action::Version); }},
};

CommandLine Failed(std::string why) {
  CommandLine line;
  line.action = CommandLine::Action::Error;
  line.error = std::move(why);
  return line;
}

}  // namespace

std::span<const CommandLineOption> KavarinOptions() {
  return Options;
}

CommandLine ParseArguments(std::span<const CommandLineOption> table,
                           std::span<const std::string_view> arguments) {
  CommandLine line;
  if (auto wrong = ParseOptions(table, arguments, line)) return Failed(std::move(*wrong));
  return line;
}

CommandLine ParseCommandLine(std::span<const std::string_view> arguments) {
  CommandLine line = ParseArguments(KavarinOptions(), arguments);
  if (line.action != CommandLine::Action::Play) return line;
  if (line.room && !line.lobby) return Failed("'--room' goes with --lobby");
  if (line.computer != 0 && line.online != CommandLine::Online::No)
    return Failed("'--computer' goes without --host and --join");
  if (!line.router && line.online != CommandLine::Online::Host)
    return Failed("'--no-router' goes with --host");
  if (!line.record.empty() && line.online == CommandLine::Online::No && line.computer == 0)
    return Failed("'--record' goes with --host, --join or --computer");
  return line;
}

std::string UsageText(std::span<const CommandLineOption> table) {
  std::string usage =
      "Usage: kavarin [OPTION]...\n"
      "Kavarin, a two-player duel on one keyboard. Without an option it opens the game's "
      "window.\n"
      "With --host or --join two players play one match on two machines: the host flies the\n"
      "left ship and the guest the right one, each from the whole keyboard. With --lobby the\n"
      "host is given a room code for the guest, who comes with --lobby and --room CODE.\n"
      "With --computer the computer flies the right ship and the player the left one, from the\n"
      "whole keyboard and the game controllers.\n\n";
  usage += OptionLines(table);
  usage +=
      "\nThe toolkit's own options (-platform, -display, ...) are not accepted; set\n"
      "QT_QPA_PLATFORM or DISPLAY in the environment instead.\n";
  return usage;
}

std::string VersionText() {
  return "kavarin " KAVARIN_VERSION "\n";
}

int FinishCommandLine(const CommandLine& line) {
  if (line.action == CommandLine::Action::Error) {
    std::fputs(("kavarin: " + line.error + " (see kavarin --help)\n").c_str(), stderr);
    return 2;
  }
  if (line.action == CommandLine::Action::Play) return 0;
  const std::string text =
      line.action == CommandLine::Action::Help ? UsageText(KavarinOptions()) : VersionText();
  std::fputs(text.c_str(), stdout);
  return std::fflush(stdout) == 0 ? 0 : 1;
}

}  // namespace kavarin

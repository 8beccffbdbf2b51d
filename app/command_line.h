#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "app/captions/language.h"
#include "cli/option_table.h"
#include "lobby/lobby_wire.h"
#include "online/endpoint.h"

namespace kavarin {

// What the program was asked to do by its arguments.
struct CommandLine {
  // In rising precedence: --help wins over --version, and both over playing.
  enum class Action { Play, Version, Help, Error };
  Action action = Action::Play;
  // For Error: what is wrong, one line, without the program's name.
  std::string error;

  // Online play: wait for the other player on a port, or connect to one that waits.
  enum class Online { No, Host, Join };
  Online online = Online::No;
  uint16_t port = 0;     // the host's port, or the one joined
  std::string joinHost;  // a name or an address
  // Through kavarin-lobby: a new room (Host), or the room of a code (Join).
  std::optional<Endpoint> lobby;
  std::optional<RoomCode> room;
  std::string record;  // where to write the match record when the match ends
  bool router = true;  // a host asks its router to forward its port
  int computer = 0;    // the computer's level when it flies the right ship, or 0

  // The window's language, when --lang chose one; else the desktop's.
  std::optional<Language> language;
};

// One option of the game's table.
using CommandLineOption = OptionOf<CommandLine>;

// The game's own options.
std::span<const CommandLineOption> KavarinOptions();

// Reads the arguments after the program's name against an option table. Every argument must be
// one of its options; the first that is not makes the whole line an Error.
CommandLine ParseArguments(std::span<const CommandLineOption> table,
                           std::span<const std::string_view> arguments);

// ParseArguments with the game's options.
CommandLine ParseCommandLine(std::span<const std::string_view> arguments);

// What --help and --version print.
std::string UsageText(std::span<const CommandLineOption> table);
std::string VersionText();

// Carries out an action other than Play: the usage or the version on standard output (exit
// status 0), or the error in one line on standard error (exit status 2). Returns the status;
// Play does nothing and returns 0.
int FinishCommandLine(const CommandLine& line);

}  // namespace kavarin

#include "app/command_line.h"

#include <algorithm>
#include <cstdio>

#include "online/endpoint.h"

namespace kavarin {
namespace {

using Takes = CommandLineOption::Takes;

std::optional<std::string> RaiseTo(CommandLine& line, CommandLine::Action action) {
  line.action = std::max(line.action, action);
  return std::nullopt;
}

std::optional<std::string> GoOnline(CommandLine& line, CommandLine::Online how) {
  if (line.online != CommandLine::Online::No) return "only one of --host and --join";
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
    {"--join", Takes::Value, "HOST[:PORT]", "play against the player waiting on HOST", Join},
    {"--record", Takes::Value, "FILE", "write the online match's record to FILE when it ends",
     Record},
    {"--lang", Takes::Value, "ja|en", "the window's language (the desktop's unless given)", Lang},
    {"--help", Takes::Nothing, "", "print this help and exit",
     [](CommandLine& line, auto) { return RaiseTo(line, CommandLine::Action::Help); }},
    {"--version", Takes::Nothing, "", "print the version and exit",
     [](CommandLine& line, auto) { return RaiseTo(line, CommandLine::Action::Version); }},
};

// An argument shown in an error line: control characters would break the line.
std::string Quoted(std::string_view argument) {
  std::string shown = "'";
  for (const char c : argument) {
    const auto byte = static_cast<unsigned char>(c);
    shown += byte < 0x20 || byte == 0x7f ? '?' : c;
  }
  return shown + "'";
}

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
  for (size_t i = 0; i < arguments.size(); ++i) {
    const std::string_view word = arguments[i];
    const size_t equals = word.starts_with("--") ? word.find('=') : std::string_view::npos;
    const std::string_view name = word.substr(0, equals);
    const auto option = std::find_if(table.begin(), table.end(),
                                     [&](const CommandLineOption& o) { return o.name == name; });
    if (option == table.end()) {
      return Failed((word.starts_with('-') ? "unknown option " : "unexpected argument ") +
                    Quoted(word));
    }
    std::optional<std::string_view> value;
    if (equals != std::string_view::npos) {
      if (option->takes == Takes::Nothing) return Failed(Quoted(name) + " takes no value");
      value = word.substr(equals + 1);
    } else if (i + 1 < arguments.size() &&
               (option->takes == Takes::Value ||
                (option->takes == Takes::OptionalValue && !arguments[i + 1].starts_with('-')))) {
      value = arguments[++i];
    } else if (option->takes == Takes::Value) {
      return Failed(Quoted(name) + " needs " + std::string(option->valueName));
    }
    if (auto wrong = option->apply(line, value)) return Failed(Quoted(name) + ": " + *wrong);
  }
  return line;
}

CommandLine ParseCommandLine(std::span<const std::string_view> arguments) {
  CommandLine line = ParseArguments(KavarinOptions(), arguments);
  if (line.action == CommandLine::Action::Play && !line.record.empty() &&
      line.online == CommandLine::Online::No)
    return Failed("'--record' goes with --host or --join");
  return line;
}

std::string UsageText(std::span<const CommandLineOption> table) {
  std::string usage =
      "Usage: kavarin [OPTION]...\n"
      "Kavarin, a two-player duel on one keyboard. Without an option it opens the game's "
      "window.\n"
      "With --host or --join two players play one match on two machines: the host flies the\n"
      "left ship and the guest the right one, each from the whole keyboard.\n\n";
  for (const CommandLineOption& option : table) {
    // Appended, not "  " + std::string(...): g++ 12 at -O3 takes the copy into the front of a
    // string for an overlapping one, which it cannot be (GCC bug 105329).
    std::string left = std::string("  ").append(option.name);
    if (option.takes == Takes::Value) left.append(" ").append(option.valueName);
    if (option.takes == Takes::OptionalValue)
      left.append(" [").append(option.valueName).append("]");
    left.resize(std::max<size_t>(left.size() + 2, 24), ' ');
    usage += left + std::string(option.description) + "\n";
  }
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

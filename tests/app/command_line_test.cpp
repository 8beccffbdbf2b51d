#include "app/command_line.h"

#include <gtest/gtest.h>

#include <QProcess>
#include <QProcessEnvironment>
#include <string>
#include <vector>

namespace kavarin {
namespace {

using Action = CommandLine::Action;

CommandLine Parse(std::vector<std::string_view> words) {
  return ParseCommandLine(words);
}

TEST(CommandLine, OnlineOptionsTakeAPlaceAndARecord) {
  using Online = CommandLine::Online;
  CommandLine line = Parse({"--host"});
  EXPECT_EQ(line.online, Online::Host);
  EXPECT_EQ(line.port, 29170);
  line = Parse({"--host", "4000", "--record", "match.txt"});
  EXPECT_EQ(line.port, 4000);
  EXPECT_EQ(line.record, "match.txt");
  line = Parse({"--record=r.txt", "--join", "[::1]:4001"});
  EXPECT_EQ(line.online, Online::Join);
  EXPECT_EQ(line.joinHost, "::1");
  EXPECT_EQ(line.port, 4001);
  EXPECT_EQ(Parse({"--join", "example.org"}).port, 29170);
  // Bad places, both roles at once, a record with nothing to record: one line, no game.
  for (const std::vector<std::string_view>& words : std::vector<std::vector<std::string_view>>{
           {"--host", "0"},
           {"--host", "65536"},
           {"--host", "x"},
           {"--join"},
           {"--join", "h:0"},
           {"--join", ""},
           {"--host", "--join", "h"},
           {"--join", "h", "--join", "h"},
           {"--record", "r.txt"},
           {"--host", "--record"},
       }) {
    const CommandLine bad = Parse(words);
    EXPECT_EQ(bad.action, Action::Error) << words.size() << " " << words[0];
    EXPECT_EQ(bad.error.find('\n'), std::string::npos);
  }
}

// --computer takes an optional level, 2 unless given, goes with --record and not with online play.
TEST(CommandLine, ALobbyMakesAHostAndARoomCodeAGuestInEitherOrder) {
  using Online = CommandLine::Online;
  CommandLine line = Parse({"--lobby", "lobby.example.org"});
  EXPECT_EQ(line.action, Action::Play);
  EXPECT_EQ(line.online, Online::Host);
  ASSERT_TRUE(line.lobby);
  EXPECT_EQ(line.lobby->host, "lobby.example.org");
  EXPECT_EQ(line.lobby->port, 29171);
  for (const auto& words : std::vector<std::vector<std::string_view>>{
           {"--lobby", "[2001:db8::5]:4000", "--room", "k7qx m4pd"},
           {"--room", "K7QX-M4PD", "--lobby", "[2001:db8::5]:4000", "--record", "r.txt"}}) {
    line = Parse(words);
    EXPECT_EQ(line.action, Action::Play) << line.error;
    EXPECT_EQ(line.online, Online::Join);
    ASSERT_TRUE(line.lobby && line.room);
    EXPECT_EQ(line.lobby->host, "2001:db8::5");
    EXPECT_EQ(line.lobby->port, 4000);
    EXPECT_EQ(RoomCodeText(*line.room), "K7QX-M4PD");
  }
  for (const auto& words : std::vector<std::vector<std::string_view>>{
           {"--room", "K7QX-M4PD"},
           {"--lobby", "h", "--room", "K7QX-M40D"},
           {"--lobby", "h", "--room", "K7QX-M4P"},
           {"--lobby", "h", "--host"},
           {"--join", "h", "--lobby", "h"},
           {"--lobby", "h", "--computer"},
           {"--lobby", "h:0"},
       }) {
    const CommandLine bad = Parse(words);
    EXPECT_EQ(bad.action, Action::Error) << words[0] << " " << words[1];
    EXPECT_EQ(bad.error.find('\n'), std::string::npos);
  }
}

// A host asks its router unless told not to; the option means nothing to anyone else.
TEST(CommandLine, NoRouterGoesWithHostOnly) {
  EXPECT_TRUE(Parse({"--host"}).router);
  const CommandLine quiet = Parse({"--no-router", "--host", "4000"});
  EXPECT_EQ(quiet.action, Action::Play);
  EXPECT_FALSE(quiet.router);
  for (const std::vector<std::string_view>& words : {std::vector<std::string_view>{"--no-router"},
                                                     {"--join", "example.org", "--no-router"},
                                                     {"--computer", "--no-router"},
                                                     {"--host", "--no-router=yes"}}) {
    const CommandLine bad = Parse(words);
    EXPECT_EQ(bad.action, Action::Error) << words.back();
    EXPECT_NE(bad.error.find("no-router"), std::string::npos) << bad.error;
  }
}

TEST(CommandLine, ComputerTakesALevelAndARecord) {
  EXPECT_EQ(Parse({}).computer, 0);
  EXPECT_EQ(Parse({"--computer"}).computer, 2);
  EXPECT_EQ(Parse({"--computer", "3"}).computer, 3);
  EXPECT_EQ(Parse({"--computer=1"}).computer, 1);
  const CommandLine recorded = Parse({"--computer", "--record", "m.txt"});
  EXPECT_EQ(recorded.action, Action::Play);
  EXPECT_EQ(recorded.computer, 2);
  EXPECT_EQ(recorded.record, "m.txt");
  for (const std::vector<std::string_view>& words :
       std::vector<std::vector<std::string_view>>{{"--computer", "4"},
                                                  {"--computer", "0"},
                                                  {"--computer=x"},
                                                  {"--computer", "12"},
                                                  {"--computer", "--host"},
                                                  {"--join", "h", "--computer", "1"}}) {
    const CommandLine bad = Parse(words);
    EXPECT_EQ(bad.action, Action::Error) << words.back();
    EXPECT_EQ(bad.error.find('\n'), std::string::npos);
  }
  EXPECT_NE(UsageText(KavarinOptions()).find("--computer [LEVEL]"), std::string::npos);
}

TEST(CommandLine, HelpAndVersionWinAndStrangeWordsAreRefused) {
  EXPECT_EQ(Parse({}).action, Action::Play);
  EXPECT_EQ(Parse({"--help"}).action, Action::Help);
  EXPECT_EQ(Parse({"--version"}).action, Action::Version);
  EXPECT_EQ(Parse({"--version", "--help"}).action, Action::Help);
  EXPECT_EQ(Parse({"--help", "--version", "--help"}).action, Action::Help);

  // Every other word spoils the whole line, wherever it stands, with one line naming it.
  const std::vector<std::vector<std::string_view>> bad = {
      {"-h"},
      {"-help"},
      {"--"},
      {"-"},
      {"help"},
      {""},
      {"--help=yes"},
      {"--HELP"},
      {"--helpx"},
      {"--version", "1"},
      {"--host", "1", "2"},
      {"-platform"},
      {"--help", "-display"},
      {"offscreen", "--help"},
      {"--a\nb"},
  };
  for (const auto& words : bad) {
    const CommandLine line = Parse(words);
    std::string shown;
    for (std::string_view w : words) shown.append("[").append(w).append("]");
    EXPECT_EQ(line.action, Action::Error) << shown;
    EXPECT_FALSE(line.error.empty()) << shown;
    EXPECT_EQ(line.error.find('\n'), std::string::npos) << shown;
  }
  EXPECT_EQ(Parse({"--help", "--helpx"}).error, "unknown option '--helpx'");
  EXPECT_EQ(Parse({"help"}).error, "unexpected argument 'help'");
  EXPECT_EQ(Parse({"--help=yes"}).error, "'--help' takes no value");
  EXPECT_EQ(Parse({"--a\nb"}).error, "unknown option '--a?b'");
}

// Options with values, as later options take them, on a table of the test's own.
std::vector<std::string> seen;
std::optional<std::string> Record(CommandLine&, std::optional<std::string_view> value) {
  seen.push_back("record " + std::string(*value));
  return std::nullopt;
}
std::optional<std::string> Host(CommandLine&, std::optional<std::string_view> value) {
  if (value && value->find_first_not_of("0123456789") != std::string_view::npos)
    return "not a port";
  seen.push_back("host " + std::string(value.value_or("-")));
  return std::nullopt;
}
constexpr CommandLineOption kTestOptions[] = {
    {"--record", CommandLineOption::Takes::Value, "FILE", "record", Record},
    {"--host", CommandLineOption::Takes::OptionalValue, "PORT", "host", Host},
    {"--help", CommandLineOption::Takes::Nothing, "", "help",
     [](CommandLine& line, auto) -> std::optional<std::string> {
       line.action = Action::Help;
       return std::nullopt;
     }},
};

TEST(CommandLine, OptionValuesFollowTheTable) {
  struct Case {
    std::vector<std::string_view> words;
    Action action;
    std::vector<std::string> seen;
  };
  const std::vector<Case> cases = {
      {{"--record", "a.txt"}, Action::Play, {"record a.txt"}},
      {{"--record=a=b"}, Action::Play, {"record a=b"}},
      {{"--record", "-"}, Action::Play, {"record -"}},
      {{"--record="}, Action::Play, {"record "}},
      {{"--record"}, Action::Error, {}},
      {{"--host"}, Action::Play, {"host -"}},
      {{"--host", "4000", "--record", "r"}, Action::Play, {"host 4000", "record r"}},
      {{"--host", "--help"}, Action::Help, {"host -"}},
      {{"--host=12"}, Action::Play, {"host 12"}},
      {{"--host", "x"}, Action::Error, {}},
      {{"--host", "1", "2"}, Action::Error, {"host 1"}},
  };
  for (const Case& c : cases) {
    seen.clear();
    const CommandLine line = ParseArguments(kTestOptions, c.words);
    EXPECT_EQ(line.action, c.action) << c.words[0] << " " << line.error;
    EXPECT_EQ(seen, c.seen) << c.words[0];
  }
  EXPECT_EQ(ParseArguments(kTestOptions, std::vector<std::string_view>{"--record"}).error,
            "'--record' needs FILE");
  EXPECT_EQ(ParseArguments(kTestOptions, std::vector<std::string_view>{"--host=x"}).error,
            "'--host': not a port");

  const std::string usage = UsageText(kTestOptions);
  for (const char* line : {"--record FILE", "--host [PORT]", "--help "})
    EXPECT_NE(usage.find(line), std::string::npos) << line << "\n" << usage;
}

struct Outcome {
  int status;
  QByteArray out;
  QByteArray err;
};

// The game with no display at all: nothing here may need one.
Outcome RunGame(const QStringList& arguments) {
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) env.remove(name);
  QProcess game;
  game.setProcessEnvironment(env);
  game.start(KAVARIN_EXE, arguments);
  const bool finished = game.waitForFinished(10000);
  if (!finished) {
    game.kill();
    game.waitForFinished(5000);
  }
  return {finished && game.exitStatus() == QProcess::NormalExit ? game.exitCode() : -1,
          game.readAllStandardOutput(), game.readAllStandardError()};
}

TEST(CommandLine, TheGamePrintsAndExitsWithoutADisplay) {
  const Outcome help = RunGame({"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_EQ(help.out.toStdString(), UsageText(KavarinOptions()));
  EXPECT_TRUE(help.err.isEmpty()) << help.err.toStdString();

  const Outcome version = RunGame({"--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out, "kavarin 0.970819\n");
  EXPECT_TRUE(version.err.isEmpty()) << version.err.toStdString();

  for (const QStringList& bad : {QStringList{"--bogus"}, QStringList{"-platform", "offscreen"}}) {
    const Outcome run = RunGame(bad);
    EXPECT_EQ(run.status, 2);
    EXPECT_TRUE(run.out.isEmpty());
    EXPECT_EQ(run.err.count('\n'), 1) << run.err.toStdString();
    EXPECT_TRUE(run.err.startsWith("kavarin: unknown option '" + bad[0].toUtf8() + "'"))
        << run.err.toStdString();
  }
}

}  // namespace
}  // namespace kavarin

#include <gtest/gtest.h>

#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QThread>
#include <memory>
#include <string>
#include <vector>

#include "app/platform_failure.h"
#include "app/startup.h"

namespace kavarin {
namespace {

TEST(Startup, KnowsWhenThereIsNoDisplayToTry) {
  EXPECT_EQ(MissingDisplay("", "", ""), "DISPLAY is not set");
  EXPECT_EQ(MissingDisplay("xcb", "", "wayland-0"), "DISPLAY is not set");
  EXPECT_EQ(MissingDisplay("xcb:nomitshm", "", ""), "DISPLAY is not set");
  EXPECT_FALSE(MissingDisplay("", ":0", ""));
  EXPECT_FALSE(MissingDisplay("", "", "wayland-0"));
  EXPECT_FALSE(MissingDisplay("offscreen", "", ""));
  EXPECT_FALSE(MissingDisplay("xcb;offscreen", "", ""));
  EXPECT_FALSE(MissingDisplay("wayland", "", ""));
}

TEST(Startup, TellsWhichPartOfThePlatformFailed) {
  const std::string fatal =
      "This application failed to start because no Qt platform plugin could be initialized.\n\n"
      "Available platform plugins are: minimal, offscreen, xcb.\n";
  const std::vector<std::string> xcb = {
      "could not connect to display :7",
      "Could not load the Qt platform plugin \"xcb\" in \"\" even though it was found."};
  const std::string refused = "the display refused the authorisation (DISPLAY=:7): ";
  for (const char* reason : {"Authorization required, but no authorization protocol specified",
                             "Invalid MIT-MAGIC-COOKIE-1 key", "No protocol specified"}) {
    EXPECT_EQ(PlatformFailure(xcb, fatal, std::string("\n") + reason + "\n\n", ":7", ""),
              refused + reason);
  }
  EXPECT_EQ(PlatformFailure(xcb, fatal, "", ":7", ""), "could not open a display (DISPLAY=:7)");
  EXPECT_EQ(PlatformFailure(xcb, fatal, "Maximum number of clients reached\n", ":7", "xcb"),
            "could not open a display (DISPLAY=:7): Maximum number of clients reached");
  EXPECT_EQ(
      PlatformFailure({"Could not find the Qt platform plugin \"bogus\" in \"\""}, fatal, "", ":7",
                      "bogus"),
      "the Qt platform plugin \"bogus\" is not installed (installed: minimal, offscreen, xcb)");
  EXPECT_EQ(PlatformFailure({xcb[1]}, fatal, "", ":7", ""),
            "the Qt platform plugin \"xcb\" could not be started");
  EXPECT_EQ(PlatformFailure({}, fatal, "", "", "eglfs"),
            "the Qt platform plugin could not be started (QT_QPA_PLATFORM=eglfs)");

  EXPECT_EQ(DisplayLost("The X11 connection broke (error 1). Did the X11 server die?", ":7"),
            "lost the display (DISPLAY=:7): The X11 connection broke (error 1)");
  EXPECT_EQ(DisplayLost("The X11 connection broke: I/O error (code 1)", ":7"),
            "lost the display (DISPLAY=:7): The X11 connection broke: I/O error (code 1)");
  EXPECT_FALSE(DisplayLost("QStandardPaths: XDG_RUNTIME_DIR not set", ":7"));
}

struct GameRun {
  int exitCode;
  QByteArray out;
  QByteArray err;
  bool finished;
};

GameRun RunGame(const QProcessEnvironment& env, int waitMs) {
  QProcess game;
  game.setProcessEnvironment(env);
  game.start(KAVARIN_EXE, {});
  GameRun run{};
  run.finished = game.waitForFinished(waitMs);
  if (!run.finished) {
    game.terminate();
    game.waitForFinished(5000);
  }
  run.exitCode = game.exitStatus() == QProcess::NormalExit ? game.exitCode() : -1;
  run.out = game.readAllStandardOutput();
  run.err = game.readAllStandardError();
  return run;
}

QProcessEnvironment BaseEnvironment() {
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.remove("DISPLAY");
  env.remove("WAYLAND_DISPLAY");
  env.remove("QT_QPA_PLATFORM");
  return env;
}

TEST(Startup, WithoutADisplayTheGameSaysSoInOneLine) {
  const GameRun unset = RunGame(BaseEnvironment(), 10000);
  ASSERT_TRUE(unset.finished);
  EXPECT_NE(unset.exitCode, 0);
  EXPECT_TRUE(unset.out.isEmpty());
  EXPECT_EQ(unset.err.count('\n'), 1) << unset.err.toStdString();
  EXPECT_TRUE(unset.err.contains("could not open a display")) << unset.err.toStdString();

  // A display that is named but cannot be reached fails in the toolkit; still one line.
  QProcessEnvironment env = BaseEnvironment();
  env.insert("DISPLAY", ":4093");
  const GameRun unreachable = RunGame(env, 10000);
  ASSERT_TRUE(unreachable.finished);
  EXPECT_NE(unreachable.exitCode, 0);
  EXPECT_TRUE(unreachable.out.isEmpty());
  EXPECT_EQ(unreachable.err.count('\n'), 1) << unreachable.err.toStdString();
  EXPECT_TRUE(unreachable.err.contains("could not open a display (DISPLAY=:4093)"))
      << unreachable.err.toStdString();
}

// An X server of our own on a free display, for as long as the test runs.
struct XServer {
  explicit XServer(const QStringList& options = {}) {
    server.start("Xvfb", QStringList{"-displayfd", "1", "-nolisten", "tcp"} + options);
    QByteArray number;
    while (!number.contains('\n') && server.waitForReadyRead(10000))
      number += server.readAllStandardOutput();
    display = ":" + QString::fromLatin1(number.trimmed());
  }
  ~XServer() {
    server.terminate();
    if (!server.waitForFinished(5000)) server.kill();
    server.waitForFinished(5000);
  }
  QProcess server;
  QString display;
};

TEST(Startup, APlatformFailureIsOneLineNamingWhatFailed) {
  QProcessEnvironment env = BaseEnvironment();
  env.insert("QT_QPA_PLATFORM", "bogus");
  const GameRun bogus = RunGame(env, 10000);
  ASSERT_TRUE(bogus.finished);
  EXPECT_EQ(bogus.exitCode, 1);
  EXPECT_TRUE(bogus.err.startsWith("kavarin: the Qt platform plugin \"bogus\" is not installed"))
      << bogus.err.toStdString();
  EXPECT_EQ(bogus.err.count('\n'), 1) << bogus.err.toStdString();

  // A server that wants a cookie, and a game that has none.
  QTemporaryDir dir;
  const QString cookies = dir.filePath("cookies");
  ASSERT_EQ(QProcess::execute("xauth", {"-q", "-f", cookies, "add", ":0", ".",
                                        "0123456789abcdef0123456789abcdef"}),
            0);
  XServer x({"-auth", cookies});
  ASSERT_GT(x.display.size(), 1) << "Xvfb did not start";
  env = BaseEnvironment();
  env.insert("DISPLAY", x.display);
  env.insert("XAUTHORITY", dir.filePath("none"));
  const GameRun refused = RunGame(env, 10000);
  ASSERT_TRUE(refused.finished);
  EXPECT_EQ(refused.exitCode, 1);
  EXPECT_EQ(refused.err.toStdString(),
            "kavarin: the display refused the authorisation (DISPLAY=" + x.display.toStdString() +
                "): Authorization required, but no authorization protocol specified\n");
}

TEST(Startup, LosingTheDisplayEndsTheGameWithOneLine) {
  auto x = std::make_unique<XServer>();
  const QString display = x->display;
  ASSERT_GT(display.size(), 1) << "Xvfb did not start";
  QProcessEnvironment env = BaseEnvironment();
  env.insert("DISPLAY", display);
  QProcess game;
  game.setProcessEnvironment(env);
  game.start(KAVARIN_EXE, {});
  // Only once its window is there has the game surely made the display its own.
  bool shown = false;
  for (int i = 0; i < 100 && !shown; ++i) {
    QProcess windows;
    windows.start("xwininfo", {"-display", display, "-root", "-tree"});
    windows.waitForFinished(5000);
    shown = windows.readAllStandardOutput().contains("\"Kavarin\"");
    if (!shown) QThread::msleep(100);
  }
  ASSERT_TRUE(shown) << "the game's window never appeared";
  x.reset();
  const bool finished = game.waitForFinished(20000);
  if (!finished) game.kill();
  ASSERT_TRUE(finished) << "the game went on without its display: "
                        << game.readAllStandardError().toStdString();
  EXPECT_EQ(game.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(game.exitCode(), 1);
  const QByteArray err = game.readAllStandardError();
  EXPECT_TRUE(err.startsWith("kavarin: lost the display (DISPLAY=" + display.toLatin1()))
      << err.toStdString();
  EXPECT_EQ(err.count('\n'), 1) << err.toStdString();
}

TEST(Startup, RunsQuietlyWithoutSoundsOrAudioDevice) {
  // A copy of the game in an empty folder finds none of its sounds, and the audio driver
  // named here does not exist.
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString copy = dir.filePath("kavarin");
  ASSERT_TRUE(QFile::copy(KAVARIN_EXE, copy));
  QProcessEnvironment env = BaseEnvironment();
  env.insert("QT_QPA_PLATFORM", "offscreen");
  env.insert("SDL_AUDIODRIVER", "no-such-driver");
  QProcess game;
  game.setProcessEnvironment(env);
  game.start(copy, {});
  ASSERT_TRUE(game.waitForStarted(5000));
  EXPECT_FALSE(game.waitForFinished(1500)) << "the game ended on its own";
  game.terminate();
  game.waitForFinished(5000);
  EXPECT_TRUE(game.readAllStandardOutput().isEmpty());
  EXPECT_TRUE(game.readAllStandardError().isEmpty());
}

}  // namespace
}  // namespace kavarin

#include <gtest/gtest.h>

#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>

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

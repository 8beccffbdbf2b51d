#include "app/sound/sdl_cue_player.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

namespace kavarin {
namespace {

namespace fs = std::filesystem;

const fs::path Generated = KAVARIN_TEST_SOUND_DIR;

// A scratch folder of its own for one test, removed afterwards.
class ScratchFolder {
 public:
  ScratchFolder() {
    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    path_ = fs::temp_directory_path() /
            ("kavarin-sound-" + std::to_string(getpid()) + "-" + test->name());
    fs::remove_all(path_);
    fs::create_directories(path_);
  }
  ~ScratchFolder() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
  }
  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
};

// Sets SDL's audio driver for one scope and puts the old one back.
class AudioDriver {
 public:
  explicit AudioDriver(const char* name) {
    if (const char* old = std::getenv("SDL_AUDIODRIVER")) old_ = old;
    setenv("SDL_AUDIODRIVER", name, 1);
  }
  ~AudioDriver() { setenv("SDL_AUDIODRIVER", old_.c_str(), 1); }

 private:
  std::string old_;
};

// Everything printed to either stream while `run` runs.
template <typename Run>
std::string Printed(Run run) {
  ::testing::internal::CaptureStdout();
  ::testing::internal::CaptureStderr();
  run();
  return ::testing::internal::GetCapturedStdout() + ::testing::internal::GetCapturedStderr();
}

// Waits up to `ms` for `done` to hold.
template <typename Done>
bool Await(int ms, Done done) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (!done() && std::chrono::steady_clock::now() < end)
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  return done();
}

TEST(SdlCuePlayer, NewestCueCutsOffThePlayingOne) {
  SdlCuePlayer player({Generated});
  ASSERT_TRUE(player.AudioOpen());
  for (auto name : {CueHassha, CueShuku, CueChou, CueHakai}) {
    EXPECT_NE(player.Sound(name), nullptr) << name;
  }

  // The second-long collapse is still playing when the call returns: it did not wait for it.
  player.PlayCue(CueShuku);
  EXPECT_EQ(player.Playing(), player.Sound(CueShuku));
  ASSERT_TRUE(Await(2000, [&] { return player.PlayedSamples() > 0; }));
  player.PlayCue(CueHassha);
  EXPECT_EQ(player.Playing(), player.Sound(CueHassha));
  player.PlayCue(CueHakai);
  EXPECT_EQ(player.Playing(), player.Sound(CueHakai));
  EXPECT_LT(player.PlayedSamples(), player.Sound(CueHakai)->size() / 2);  // from its start

  // A name that is no cue is silence; it does not cut off the one playing.
  for (const char* name : {"", "HASSHA", "hassha.wav", "bakuhatsu"}) player.PlayCue(name);
  EXPECT_EQ(player.Playing(), player.Sound(CueHakai));
}

// Between cues the device is closed, so that nothing streams silence. A cue asked for while the
// device is closing, or long after, still plays whole from its first sample.
TEST(SdlCuePlayer, TheDeviceIsOpenOnlyWhileACuePlays) {
  SdlCuePlayer player({Generated});
  ASSERT_TRUE(player.AudioOpen());
  EXPECT_FALSE(player.DeviceOpen());
  const std::vector<int16_t>* hassha = player.Sound(CueHassha);
  ASSERT_NE(hassha, nullptr);
  const int cueMs = static_cast<int>(hassha->size() * 1000 / SdlCuePlayer::Frequency);
  for (int round = 0; round < 3; ++round) {
    player.PlayCue(CueHassha);
    ASSERT_TRUE(Await(1000, [&] { return player.DeviceOpen(); })) << round;
    // Whole: every sample went out before the sound was over.
    ASSERT_TRUE(Await(cueMs + 2000, [&] { return player.Playing() == nullptr; })) << round;
    EXPECT_EQ(player.PlayedSamples(), hassha->size()) << round;
    ASSERT_TRUE(Await(static_cast<int>(SdlCuePlayer::Tail.count()) + 2000, [&] {
      return !player.DeviceOpen();
    })) << round;
    // The second time the next cue comes at once, while the device may still be closing.
    if (round != 1) std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
}

TEST(SdlCuePlayer, LeavesTheTerminationSignalsToTheProgram) {
  SdlCuePlayer player({Generated});
  ASSERT_TRUE(player.AudioOpen());
  for (int signal : {SIGINT, SIGTERM}) {
    struct sigaction action {};
    ASSERT_EQ(sigaction(signal, nullptr, &action), 0);
    EXPECT_EQ(action.sa_handler, SIG_DFL) << signal;
  }
}

TEST(SdlCuePlayer, MissingOrBrokenFilesAreSilentAndQuiet) {
  ScratchFolder first;
  std::ofstream(first.path() / "chou.wav") << "RIFF, but not really";
  fs::create_directory(first.path() / "hakai.wav");                     // a folder of that name
  fs::copy_file(Generated / "hassha.wav", first.path() / "shuku.wav");  // stands in for shuku

  const std::string printed = Printed([&] {
    SdlCuePlayer alone({first.path(), "/nonexistent/kavarin"});
    ASSERT_TRUE(alone.AudioOpen());
    EXPECT_NE(alone.Sound(CueShuku), nullptr);
    for (auto name : {CueHassha, CueChou, CueHakai}) {
      EXPECT_EQ(alone.Sound(name), nullptr) << name;
      alone.PlayCue(name);
      EXPECT_EQ(alone.Playing(), nullptr) << name;
    }
  });
  EXPECT_EQ(printed, "");

  // With a good folder behind it, each cue comes from the first folder with a usable file.
  SdlCuePlayer player({first.path(), Generated});
  ASSERT_NE(player.Sound(CueChou), nullptr);
  ASSERT_NE(player.Sound(CueHakai), nullptr);
  EXPECT_EQ(player.Sound(CueShuku)->size(), player.Sound(CueHassha)->size());
  EXPECT_GT(player.Sound(CueChou)->size(), player.Sound(CueHassha)->size());
}

TEST(SdlCuePlayer, WithoutAnAudioDeviceEveryCueIsSilentAndQuiet) {
  AudioDriver none("no-such-driver");
  const std::string printed = Printed([] {
    SdlCuePlayer player({Generated});
    EXPECT_FALSE(player.AudioOpen());
    for (auto name : {CueHassha, CueShuku, CueChou, CueHakai}) {
      EXPECT_EQ(player.Sound(name), nullptr);
      player.PlayCue(name);
    }
  });
  EXPECT_EQ(printed, "");
}

// ALSA without a sound card complains on the terminal unless it is told not to, and SDL's disk
// driver announces itself in SDL's log. Where a card exists the sound simply plays; either way
// nothing may be printed.
TEST(SdlCuePlayer, ChattyDriversKeepQuiet) {
  ScratchFolder scratch;
  ASSERT_EQ(setenv("SDL_DISKAUDIOFILE", (scratch.path() / "out.raw").c_str(), 1), 0);
  for (const char* driver : {"alsa", "disk"}) {
    AudioDriver chosen(driver);
    const std::string printed = Printed([] {
      SdlCuePlayer player({Generated});
      player.PlayCue(CueHassha);
    });
    EXPECT_EQ(printed, "") << driver;
  }
}

TEST(SdlCuePlayer, LooksBesideTheGameThenInTheInstalledDataFolders) {
  const auto folders = SdlCuePlayer::DefaultFolders("/opt/kv/bin");
  ASSERT_EQ(folders.size(), 3u);
  EXPECT_EQ(folders[0], fs::path("/opt/kv/bin"));
  EXPECT_EQ(folders[1], fs::path("/opt/kv/share/kavarin/sounds"));
  EXPECT_EQ(folders[2], fs::path(KAVARIN_TEST_INSTALLED_SOUND_DIR));
  // Run from the configured installation, its data folder is listed once.
  EXPECT_EQ(SdlCuePlayer::DefaultFolders(KAVARIN_TEST_INSTALLED_BIN_DIR).size(), 2u);
}

}  // namespace
}  // namespace kavarin

#include "app/sound/sdl_cue_player.h"

#include <SDL_mixer.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <csignal>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

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

TEST(SdlCuePlayer, NewestCueCutsOffThePlayingOne) {
  SdlCuePlayer player({Generated});
  ASSERT_TRUE(player.AudioOpen());
  for (auto name : {CueHassha, CueShuku, CueChou, CueHakai}) {
    EXPECT_NE(player.Chunk(name), nullptr) << name;
  }
  EXPECT_EQ(Mix_AllocateChannels(-1), 1);

  // The second-long collapse is still playing when the call returns: it did not wait for it.
  player.PlayCue(CueShuku);
  EXPECT_EQ(Mix_Playing(0), 1);
  EXPECT_EQ(Mix_GetChunk(0), player.Chunk(CueShuku));
  player.PlayCue(CueHassha);
  EXPECT_EQ(Mix_GetChunk(0), player.Chunk(CueHassha));
  player.PlayCue(CueHakai);
  EXPECT_EQ(Mix_GetChunk(0), player.Chunk(CueHakai));
  EXPECT_EQ(Mix_Playing(-1), 1);  // one sound at a time

  // A name that is no cue is silence; it does not cut off the one playing.
  for (const char* name : {"", "HASSHA", "hassha.wav", "bakuhatsu"}) player.PlayCue(name);
  EXPECT_EQ(Mix_GetChunk(0), player.Chunk(CueHakai));
  EXPECT_EQ(Mix_Playing(0), 1);
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
    EXPECT_NE(alone.Chunk(CueShuku), nullptr);
    for (auto name : {CueHassha, CueChou, CueHakai}) {
      EXPECT_EQ(alone.Chunk(name), nullptr) << name;
      alone.PlayCue(name);
      EXPECT_EQ(Mix_Playing(-1), 0) << name;
    }
  });
  EXPECT_EQ(printed, "");

  // With a good folder behind it, each cue comes from the first folder with a usable file.
  SdlCuePlayer player({first.path(), Generated});
  ASSERT_NE(player.Chunk(CueChou), nullptr);
  ASSERT_NE(player.Chunk(CueHakai), nullptr);
  EXPECT_EQ(player.Chunk(CueShuku)->alen, player.Chunk(CueHassha)->alen);
  EXPECT_GT(player.Chunk(CueChou)->alen, player.Chunk(CueHassha)->alen);
}

TEST(SdlCuePlayer, WithoutAnAudioDeviceEveryCueIsSilentAndQuiet) {
  AudioDriver none("no-such-driver");
  const std::string printed = Printed([] {
    SdlCuePlayer player({Generated});
    EXPECT_FALSE(player.AudioOpen());
    for (auto name : {CueHassha, CueShuku, CueChou, CueHakai}) {
      EXPECT_EQ(player.Chunk(name), nullptr);
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

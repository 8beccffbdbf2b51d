#pragma once

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <string_view>
#include <thread>
#include <vector>

#include "app/sound/cue_player.h"

namespace kavarin {

// Plays the four cues through SDL's audio, one at a time, so a new cue cuts off the one that is
// playing. The sounds are loaded once, each from the first folder that has a usable file of its
// name. Without an audio device, or without a cue's file, that cue is silent. Nothing is ever
// printed. One player per program.
//
// The audio device is open only while a cue plays and for a short tail after it: an open SDL
// device streams silence to the sound server 40 times a second even while paused, which keeps
// the game and the server awake. It is opened and closed on a thread of the player's own, which
// sleeps while nothing changes, so neither ever holds up a tick.
class SdlCuePlayer : public CuePlayer {
 public:
  explicit SdlCuePlayer(std::vector<std::filesystem::path> folders);
  ~SdlCuePlayer() override;
  SdlCuePlayer(const SdlCuePlayer&) = delete;
  SdlCuePlayer& operator=(const SdlCuePlayer&) = delete;

  void PlayCue(std::string_view name) override;

  // Where the cues are looked for: beside the executable, then the data folder of an installation
  // around it, then the data folder of the configured installation.
  static std::vector<std::filesystem::path> DefaultFolders(
      const std::filesystem::path& executableDir);

  // Whether an audio device could be opened when the player was made.
  bool AudioOpen() const { return audio_open_; }
  // The loaded sound of a cue as the device plays it (mono, 16-bit, Frequency samples a second),
  // or null when the cue is silent.
  const std::vector<int16_t>* Sound(std::string_view name) const;
  // The sound playing now (null while silent) and how many of its samples have gone to the device.
  const std::vector<int16_t>* Playing() const;
  size_t PlayedSamples() const;
  // Whether the device is open now.
  bool DeviceOpen() const;

  static constexpr int Frequency = 44100;
  // How long the device stays open after a cue's last sample, so that it drains to the speaker.
  static constexpr std::chrono::milliseconds Tail{150};

 private:
  static void Feed(void* self, uint8_t* stream, int bytes);
  void Feed(int16_t* out, size_t count);
  void Run();
  bool Open();

  std::array<std::vector<int16_t>, 4> sounds_;
  std::array<bool, 4> loaded_{};
  bool audio_open_ = false;

  mutable std::mutex mutex_;
  std::condition_variable changed_;
  const std::vector<int16_t>* playing_ = nullptr;
  size_t position_ = 0;
  size_t tailLeft_ = 0;  // samples of silence still to send before the device may close
  bool wanted_ = false;  // a cue was asked for and the device should be open
  bool open_ = false;
  bool quit_ = false;
  uint32_t device_ = 0;
  std::thread worker_;
};

}  // namespace kavarin

#pragma once

#include <array>
#include <filesystem>
#include <string_view>
#include <vector>

#include "app/sound/cue_player.h"

struct Mix_Chunk;

namespace kavarin {

// Plays the four cues through SDL2_mixer on a single channel, so a new cue cuts off the one that
// is playing. The sounds are loaded once, each from the first folder that has a usable file of
// its name. Without an audio device, or without a cue's file, that cue is silent. Nothing is ever
// printed. One player per program.
class SdlCuePlayer : public CuePlayer {
 public:
  explicit SdlCuePlayer(std::vector<std::filesystem::path> folders);  // opens audio once
  ~SdlCuePlayer() override;
  SdlCuePlayer(const SdlCuePlayer&) = delete;
  SdlCuePlayer& operator=(const SdlCuePlayer&) = delete;

  void PlayCue(std::string_view name) override;

  // Where the cues are looked for: beside the executable, then the data folder of an installation
  // around it, then the data folder of the configured installation.
  static std::vector<std::filesystem::path> DefaultFolders(
      const std::filesystem::path& executableDir);

  // Whether audio could be opened.
  bool AudioOpen() const { return audio_open_; }
  // The loaded sound of a cue, or null when the cue is silent.
  const Mix_Chunk* Chunk(std::string_view name) const;

 private:
  static constexpr auto& Names = AllCues;
  std::array<Mix_Chunk*, 4> chunks_{};
  bool audio_open_ = false;
};

}  // namespace kavarin

#pragma once

#include <string_view>

namespace kavarin {

// The four sound cues, played by name.
inline constexpr std::string_view CueHassha = "hassha";  // a beam is launched
inline constexpr std::string_view CueShuku = "shuku";    // the star starts to collapse
inline constexpr std::string_view CueChou = "chou";      // the supernova blast begins
inline constexpr std::string_view CueHakai = "hakai";    // a ship is hit by a beam

// Plays a cue asynchronously. It returns at once, never fails the caller, and a new cue cuts off
// the one that is playing.
class CuePlayer {
 public:
  virtual ~CuePlayer() = default;
  virtual void PlayCue(std::string_view name) = 0;
};

}  // namespace kavarin

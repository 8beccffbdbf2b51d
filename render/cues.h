#pragma once

#include <array>
#include <string_view>

namespace kavarin {

// The four sound cues, played by name. The platform plays them asynchronously, one at a time: a
// new cue cuts off the one that is playing.
inline constexpr std::string_view CueHassha = "hassha";  // a beam is launched
inline constexpr std::string_view CueShuku = "shuku";    // the star starts to collapse
inline constexpr std::string_view CueChou = "chou";      // the supernova blast begins
inline constexpr std::string_view CueHakai = "hakai";    // a ship is hit by a beam

inline constexpr std::array<std::string_view, 4> AllCues = {CueHassha, CueShuku, CueChou,
                                                            CueHakai};

}  // namespace kavarin

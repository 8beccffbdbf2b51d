#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kavarin {

// Why the toolkit's platform plugin could not start, in one line that names what failed: the
// display, its authorisation, or the plugin itself. `warnings` are the toolkit's messages before
// it gave up, `fatal` its last word, `libraryOutput` what the X libraries printed themselves
// meanwhile; DISPLAY and QT_QPA_PLATFORM as given, empty when unset.
std::string PlatformFailure(const std::vector<std::string>& warnings, std::string_view fatal,
                            std::string_view libraryOutput, std::string_view display,
                            std::string_view platform);

// The line to end the game with when a toolkit message says the display went away while the
// game ran, or nothing for any other message.
std::optional<std::string> DisplayLost(std::string_view message, std::string_view display);

}  // namespace kavarin

#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace kavarin {

// Why no display can be opened with this environment (QT_QPA_PLATFORM, DISPLAY and
// WAYLAND_DISPLAY as given, empty when unset), or nothing when it is worth trying.
std::optional<std::string> MissingDisplay(std::string_view platform, std::string_view display,
                                          std::string_view waylandDisplay);

// Keeps the toolkit's chatter off the terminal. A toolkit failure that ends the program still
// ends it, with one line; a failure to start the platform plugin (no display, a refused
// authorisation, a missing plugin) and the loss of the display say so in plain words.
void InstallQuietMessages();

// The whole program: start-up, the main window, and the event loop until the window closes.
int RunKavarin(int argc, char** argv);

}  // namespace kavarin

#include "app/platform_failure.h"

namespace kavarin {

namespace {

bool Contains(std::string_view text, std::string_view part) {
  return text.find(part) != std::string_view::npos;
}

// The first line of `text` with something on it, without surrounding blanks.
std::string_view FirstLine(std::string_view text) {
  constexpr std::string_view Blank = " \t\r\n";
  while (!text.empty()) {
    const size_t end = std::min(text.find('\n'), text.size());
    std::string_view line = text.substr(0, end);
    text.remove_prefix(std::min(end + 1, text.size()));
    const size_t first = line.find_first_not_of(Blank);
    if (first == std::string_view::npos) continue;
    line.remove_prefix(first);
    return line.substr(0, line.find_last_not_of(Blank) + 1);
  }
  return {};
}

// The plugin named in quotes after `lead` in one of the warnings, if one says so.
std::optional<std::string> PluginAfter(const std::vector<std::string>& warnings,
                                       std::string_view lead) {
  for (std::string_view w : warnings) {
    const size_t at = w.find(lead);
    if (at == std::string_view::npos) continue;
    const std::string_view rest = w.substr(at + lead.size());
    return std::string(rest.substr(0, rest.find('"')));
  }
  return std::nullopt;
}

std::string Shown(std::string_view name, std::string_view value) {
  return value.empty() ? std::string() : " (" + std::string(name) + "=" + std::string(value) + ")";
}

}  // namespace

std::string PlatformFailure(const std::vector<std::string>& warnings, std::string_view fatal,
                            std::string_view libraryOutput, std::string_view display,
                            std::string_view platform) {
  for (std::string_view w : warnings) {
    if (!Contains(w, "could not connect to display")) continue;
    // The X server's own reason, when it gave one, is what the X libraries printed.
    const std::string_view reason = FirstLine(libraryOutput);
    const bool refused = Contains(reason, "uthoriz") || Contains(reason, "protocol specified") ||
                         Contains(reason, "MAGIC-COOKIE");
    if (refused) {
      return "the display refused the authorisation" + Shown("DISPLAY", display) + ": " +
             std::string(reason);
    }
    return "could not open a display" + Shown("DISPLAY", display) +
           (reason.empty() ? "" : ": " + std::string(reason));
  }
  if (auto missing = PluginAfter(warnings, "Could not find the Qt platform plugin \"")) {
    std::string line = "the Qt platform plugin \"" + *missing + "\" is not installed";
    constexpr std::string_view Available = "Available platform plugins are: ";
    const size_t at = fatal.find(Available);
    if (at != std::string_view::npos) {
      std::string_view list = FirstLine(fatal.substr(at + Available.size()));
      if (list.ends_with('.')) list.remove_suffix(1);
      line += " (installed: " + std::string(list) + ")";
    }
    return line;
  }
  if (auto failed = PluginAfter(warnings, "Could not load the Qt platform plugin \""))
    return "the Qt platform plugin \"" + *failed + "\" could not be started";
  return "the Qt platform plugin could not be started" + Shown("QT_QPA_PLATFORM", platform);
}

std::optional<std::string> DisplayLost(std::string_view message, std::string_view display) {
  // Qt's xcb plugin says "The X11 connection broke ...", its Wayland one "The Wayland connection
  // broke ...", and either then ends the program.
  if (!Contains(message, "connection broke")) return std::nullopt;
  return "lost the display" + Shown("DISPLAY", display) + ": " +
         std::string(FirstLine(message.substr(0, message.find_first_of(".?"))));
}

}  // namespace kavarin

// The captions for the page: the desktop's table (app/captions/captions.h), handed over as
// tab-separated lines, and the choice of language.
#include <emscripten/emscripten.h>

#include <string>
#include <string_view>

#include "app/captions/captions.h"
#include "app/captions/language.h"

namespace {

namespace captions = kavarin::captions;

struct NamedCaption {
  const char* name;  // as the page's elements name it (data-caption)
  captions::Caption caption;
};

// The captions the page shows: the menu and the Version information box.
constexpr NamedCaption PageCaptions[] = {
    {"GameMenu", captions::GameMenu},
    {"StartCommand", captions::StartCommand},
    {"ExitCommand", captions::ExitCommand},
    {"HelpMenu", captions::HelpMenu},
    {"HowToPlayCommand", captions::HowToPlayCommand},
    {"VersionCommand", captions::VersionCommand},
    {"VersionTitle", captions::VersionTitle},
    {"VersionProduct", captions::VersionProduct},
    {"VersionNumber", captions::VersionNumber},
    {"VersionSound", captions::VersionSound},
    {"VersionNotice", captions::VersionNotice},
    {"VersionOk", captions::VersionOk},
    {"HowToPlayTitle", captions::HowToPlayTitle},
    {"ComputerChoiceLabel", captions::ComputerChoiceLabel},
    {"ComputerOff", captions::ComputerOff},
    {"ComputerEasy", captions::ComputerEasy},
    {"ComputerFair", captions::ComputerFair},
    {"ComputerStrong", captions::ComputerStrong},
    {"ComputerEasyTitle", captions::ComputerEasyTitle},
    {"ComputerFairTitle", captions::ComputerFairTitle},
    {"ComputerStrongTitle", captions::ComputerStrongTitle},
};

std::string text;
char scratch[256];

}  // namespace

extern "C" {

// Lines "name<TAB>context<TAB>Japanese text".
EMSCRIPTEN_KEEPALIVE const char* kv_captions() {
  text.clear();
  for (const NamedCaption& c : PageCaptions) {
    text.append(c.name).append("\t").append(c.caption.context).append("\t");
    text.append(c.caption.text).append("\n");
  }
  return text.c_str();
}

// Lines "name<TAB>left<TAB>top<TAB>heading size<TAB>context<TAB>Japanese text".
EMSCRIPTEN_KEEPALIVE const char* kv_how_to_play_labels() {
  text.clear();
  for (const captions::PlacedLabel& l : captions::HowToPlayLabels) {
    text.append(l.name).append("\t").append(std::to_string(l.left)).append("\t");
    text.append(std::to_string(l.top)).append("\t").append(std::to_string(l.headingPixelSize));
    text.append("\t").append(l.caption.context).append("\t").append(l.caption.text).append("\n");
  }
  return text.c_str();
}

// A small buffer for the page to hand over a short string.
EMSCRIPTEN_KEEPALIVE char* kv_scratch() {
  return scratch;
}

// Whether a browser whose first language is `tag` (BCP 47) gets the English captions, by the
// desktop's rule: Japanese when the first language is Japanese, else English.
EMSCRIPTEN_KEEPALIVE int kv_language_is_english(const char* tag) {
  return kavarin::DesktopLanguage(tag) == kavarin::Language::English ? 1 : 0;
}

}  // extern "C"

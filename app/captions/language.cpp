#include "app/captions/language.h"

namespace kavarin {

Language DesktopLanguage(std::string_view firstUiLanguage) {
  const std::string_view primary = firstUiLanguage.substr(0, firstUiLanguage.find_first_of("-_"));
  if (primary.empty() || primary == "C" || primary == "POSIX" || primary == "ja")
    return Language::Japanese;
  return Language::English;
}

std::optional<Language> LanguageNamed(std::string_view name) {
  if (name == "ja") return Language::Japanese;
  if (name == "en") return Language::English;
  return std::nullopt;
}

}  // namespace kavarin

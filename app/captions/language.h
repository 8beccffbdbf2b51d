#pragma once

#include <optional>
#include <string_view>

namespace kavarin {

// The languages the game's window speaks: Japanese, its own, and English.
enum class Language { Japanese, English };

// The language for a desktop whose first language for its user interface is `firstUiLanguage`,
// as a BCP 47 tag ("ja-JP", "en-US") or "C": Japanese when it is Japanese, and in the C or POSIX
// locale (or none), where no language was chosen; English for any other.
Language DesktopLanguage(std::string_view firstUiLanguage);

// "ja" or "en", as --lang takes them.
std::optional<Language> LanguageNamed(std::string_view name);

}  // namespace kavarin

#pragma once

#include <optional>

#include "app/captions/language.h"

class QTranslator;

namespace kavarin {

// The language the game shows: `chosen` (--lang) when given, else the desktop's, from the
// system locale's languages for the user interface.
Language ShownLanguage(std::optional<Language> chosen);

// Makes the application's captions `language`: English installs `translator` with the English
// texts built into the program, Japanese (the source texts) installs nothing. False when the
// English texts cannot be loaded, and the captions stay Japanese.
bool InstallTranslation(Language language, QTranslator& translator);

}  // namespace kavarin

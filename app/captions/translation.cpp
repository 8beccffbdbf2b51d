#include "app/captions/translation.h"

#include <QCoreApplication>
#include <QLocale>
#include <QStringList>
#include <QTranslator>

namespace kavarin {

Language ShownLanguage(std::optional<Language> chosen) {
  if (chosen) return *chosen;
  const QStringList languages = QLocale::system().uiLanguages();
  return DesktopLanguage(languages.isEmpty() ? std::string() : languages.front().toStdString());
}

bool InstallTranslation(Language language, QTranslator& translator) {
  if (language == Language::Japanese) return true;
  // Built in from app/translations by qt_add_translations.
  if (!translator.load(QStringLiteral(":/i18n/kavarin_en.qm"))) return false;
  return QCoreApplication::installTranslator(&translator);
}

}  // namespace kavarin

#include <gtest/gtest.h>

#include <QAction>
#include <QCoreApplication>
#include <QMenu>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTranslator>
#include <cstdio>

#include "app/captions/translation.h"
#include "app/command_line.h"
#include "app/dialogs/how_to_play_dialog.h"
#include "app/main_window.h"

namespace kavarin {
namespace {

TEST(Language, TheDesktopsFirstLanguageDecides) {
  for (const char* japanese : {"ja", "ja-JP", "ja_JP", "ja-Jpan-JP", "C", "POSIX", ""})
    EXPECT_EQ(DesktopLanguage(japanese), Language::Japanese) << japanese;
  for (const char* other : {"en", "en-US", "de-DE", "fr", "jv", "jav", "zh-Hans-CN"})
    EXPECT_EQ(DesktopLanguage(other), Language::English) << other;
}

TEST(Language, LangChoosesOneOrIsRefused) {
  using Words = std::vector<std::string_view>;
  EXPECT_FALSE(ParseCommandLine(Words{}).language);
  EXPECT_EQ(ParseCommandLine(Words{"--lang", "ja"}).language, Language::Japanese);
  EXPECT_EQ(ParseCommandLine(Words{"--lang=en", "--host"}).language, Language::English);
  EXPECT_EQ(ParseCommandLine(Words{"--lang", "ja", "--lang", "en"}).language, Language::English);
  for (const Words& bad : {Words{"--lang"}, Words{"--lang", "fr"}, Words{"--lang="},
                           Words{"--lang", "JA"}, Words{"--lang", "en-US"}}) {
    const CommandLine line = ParseCommandLine(bad);
    EXPECT_EQ(line.action, CommandLine::Action::Error) << bad.back();
    EXPECT_NE(line.error.find("'--lang'"), std::string::npos) << line.error;
  }
  EXPECT_NE(UsageText(KavarinOptions()).find("--lang ja|en"), std::string::npos);
}

// Run in a child process of this program (below): the menu and How to play's title as start-up
// makes them under the child's locale, one a line.
TEST(LanguageChild, PrintsTheWindowsCaptions) {
  if (qEnvironmentVariableIsEmpty("KAVARIN_PRINT_CAPTIONS")) GTEST_SKIP() << "run by its parent";
  QTranslator translator;
  ASSERT_TRUE(InstallTranslation(ShownLanguage(std::nullopt), translator));
  class : public CuePlayer {
    void PlayCue(std::string_view) override {}
  } cues;
  TForm1 form(cues);
  TForm3 page(&form);
  QStringList shown;
  for (QMenu* menu : {form.findChild<QMenu*>("KG1"), form.findChild<QMenu*>("K1")}) {
    ASSERT_NE(menu, nullptr);
    shown << menu->title();
    for (QAction* action : menu->actions())
      if (!action->isSeparator()) shown << action->text();
  }
  shown << page.windowTitle();
  std::fputs(("captions:" + shown.join('|') + "\n").toUtf8().constData(), stdout);
  QCoreApplication::removeTranslator(&translator);
}

TEST(Language, TheWindowSpeaksTheDesktopsLanguage) {
  const QString japanese =
      QStringLiteral("ゲーム(&G)|開始(&S)|終了(&X)|？(&H)|遊び方(&P)|ﾊﾞｰｼﾞｮﾝ情報(&A)|遊び方");
  const QString english =
      QStringLiteral("&Game|&Start|E&xit|&Help|How to &Play|&About Kavarin|How to Play");
  struct Desktop {
    const char* lang;
    const char* language;  // LANGUAGE, the user's list of languages, or none
    const QString& captions;
  };
  const Desktop desktops[] = {
      {"C", nullptr, japanese},           {"POSIX", nullptr, japanese},
      {"ja_JP.UTF-8", nullptr, japanese}, {"en_US.UTF-8", nullptr, english},
      {"de_DE.UTF-8", nullptr, english},  {"en_US.UTF-8", "ja:en", japanese},
      {"ja_JP.UTF-8", "en:ja", english},
  };
  for (const Desktop& desktop : desktops) {
    SCOPED_TRACE(std::string("LANG=") + desktop.lang +
                 " LANGUAGE=" + (desktop.language ? desktop.language : "(none)"));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANGUAGE"}) env.remove(name);
    env.insert("LANG", desktop.lang);
    if (desktop.language) env.insert("LANGUAGE", desktop.language);
    env.insert("KAVARIN_PRINT_CAPTIONS", "1");
    QProcess child;
    child.setProcessEnvironment(env);
    child.start(QCoreApplication::applicationFilePath(),
                {"--gtest_filter=LanguageChild.PrintsTheWindowsCaptions"});
    ASSERT_TRUE(child.waitForFinished(30000));
    EXPECT_EQ(child.exitCode(), 0);
    const QString out = QString::fromUtf8(child.readAllStandardOutput());
    const qsizetype at = out.indexOf("captions:");
    ASSERT_GE(at, 0) << out.toStdString();
    EXPECT_EQ(out.mid(at + 9).section('\n', 0, 0).toUtf8(), desktop.captions.toUtf8());
  }
}

}  // namespace
}  // namespace kavarin

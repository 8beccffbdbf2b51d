#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QTranslator>
#include <map>
#include <string>

#include "app/captions/caption_text.h"
#include "app/captions/translation.h"
#include "app/dialogs/about_dialog.h"
#include "app/dialogs/how_to_play_dialog.h"

namespace kavarin {
namespace {

// The English translation installed for one test, as the game installs it at start-up.
class English : public testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(InstallTranslation(Language::English, translator_)); }
  void TearDown() override { QCoreApplication::removeTranslator(&translator_); }
  QTranslator translator_;
};

std::vector<captions::Caption> EveryCaption() {
  std::vector<captions::Caption> all(std::begin(captions::Named), std::end(captions::Named));
  for (const captions::PlacedLabel& label : captions::HowToPlayLabels) all.push_back(label.caption);
  return all;
}

// What a translation must keep of its source: the access key's letter and the placeholders.
struct Kept {
  QChar accessKey;
  int placeholders;
};
Kept KeptOf(const QString& text) {
  const qsizetype amp = text.indexOf('&');
  return {amp >= 0 && amp + 1 < text.size() ? text[amp + 1].toUpper() : QChar(),
          static_cast<int>(text.count(QStringLiteral("%1")))};
}

TEST_F(English, EveryCaptionIsTranslatedKeepingItsAccessKeyAndPlaceholders) {
  // Captions without Japanese in them may stay as they are; the kana name keys of a Japanese
  // keyboard, which How to play shows in both languages.
  const QRegularExpression japanese(QStringLiteral("[\\x{3000}-\\x{9fff}\\x{ff00}-\\x{ffef}]"));
  const QRegularExpression keyKana(QStringLiteral("\\((む|け|め)\\)"));
  for (const captions::Caption& caption : EveryCaption()) {
    const QString source = QString::fromUtf8(caption.text);
    const QString english = CaptionText(caption);
    SCOPED_TRACE(source.toStdString() + " -> " + english.toStdString());
    EXPECT_FALSE(english.isEmpty());
    if (source.contains(japanese)) {
      EXPECT_NE(english, source);
    }
    EXPECT_FALSE(QString(english).remove(keyKana).contains(japanese));
    EXPECT_EQ(KeptOf(english).accessKey, KeptOf(source).accessKey);
    EXPECT_EQ(KeptOf(english).placeholders, KeptOf(source).placeholders);
    EXPECT_EQ(english.count('\n'), source.count('\n'));
  }
  // Without the translation every caption is its Japanese source, byte for byte.
  QCoreApplication::removeTranslator(&translator_);
  for (const captions::Caption& caption : EveryCaption())
    EXPECT_EQ(CaptionText(caption).toUtf8(), QByteArray(caption.text));
}

// The keys How to play names, in the Japanese page's full-width forms and as the English page
// writes them.
const std::map<std::string, QString> KeyNames = {
    {"Ａ", "\"A\""}, {"Ｓ", "\"S\""}, {"Ｘ", "\"X\""},           {"］", "\"]\""},
    {"：", "\":\""}, {"／", "\"/\""}, {"スペース", "\"Space\""},
};

TEST_F(English, HowToPlayShowsTheSameKeysInTheSameLayout) {
  TForm3 form;
  EXPECT_EQ(form.windowTitle(), QStringLiteral("How to Play"));
  EXPECT_EQ(form.size(), QSize(256, 349));
  for (const captions::PlacedLabel& placed : captions::HowToPlayLabels) {
    SCOPED_TRACE(placed.name);
    const auto* label = form.findChild<QLabel*>(QString::fromLatin1(placed.name));
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->pos(), QPoint(placed.left, placed.top));
    EXPECT_EQ(label->font().pixelSize(), placed.headingPixelSize ? placed.headingPixelSize : 12);
    EXPECT_TRUE(form.rect().contains(label->geometry()));
    EXPECT_GE(label->width(), label->sizeHint().width());
    for (const QLabel* other : form.findChildren<QLabel*>()) {
      if (other != label) {
        EXPECT_FALSE(label->geometry().intersects(other->geometry()));
      }
    }
    // Each key named on the Japanese page is named on the English one, as often.
    const std::string japanese = placed.caption.text;
    for (const auto& [fullWidth, written] : KeyNames) {
      size_t times = 0;
      for (size_t at = japanese.find("”" + fullWidth + "”"); at != std::string::npos;
           at = japanese.find("”" + fullWidth + "”", at + 1))
        ++times;
      EXPECT_EQ(static_cast<size_t>(label->text().count(written)), times) << written.toStdString();
    }
  }
}

TEST_F(English, VersionInformationFitsItsBox) {
  TForm2 form;
  EXPECT_EQ(form.windowTitle(), QStringLiteral("About Kavarin"));
  const QList<QWidget*> children = form.findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
  for (const QWidget* child : children) {
    SCOPED_TRACE(child->objectName().toStdString());
    EXPECT_TRUE(form.rect().contains(child->geometry()));
    // The button keeps its fixed size and its "OK".
    if (qobject_cast<const QLabel*>(child) != nullptr) {
      EXPECT_GE(child->width(), child->sizeHint().width());
    }
    for (const QWidget* other : children) {
      if (other != child) {
        EXPECT_FALSE(child->geometry().intersects(other->geometry()));
      }
    }
  }
}

}  // namespace
}  // namespace kavarin

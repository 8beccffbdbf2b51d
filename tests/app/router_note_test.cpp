#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QSet>
#include <QTranslator>

#include "app/captions/translation.h"
#include "app/online/online_texts.h"

namespace kavarin {
namespace {

// In either language, the waiting title keeps its text and gains one note per answer of the
// router, each its own; the forwarded address and the protocol are shown as the router gave
// them; a host that does not ask shows the title alone.
TEST(RouterNote, EachAnswerAddsItsOwnNoteToTheTitleInBothLanguages) {
  QTranslator english;
  for (const bool inEnglish : {false, true}) {
    if (inEnglish) {
      ASSERT_TRUE(InstallTranslation(Language::English, english));
    }
    const QString title = WaitingTitle(29170);
    EXPECT_EQ(WithRouterNote(title, nullptr), title);
    QSet<QString> notes;
    for (const RouterAnswer answer : {RouterAnswer::Asking, RouterAnswer::Mapped,
                                      RouterAnswer::Refused, RouterAnswer::Silent}) {
      const RouterStatus status{.answer = answer,
                                .protocol = answer == RouterAnswer::Silent ? "" : "NAT-PMP",
                                .external = "198.51.100.7:29170",
                                .why = "NotAuthorized",
                                .tookMs = 12};
      const QString shown = WithRouterNote(title, &status);
      ASSERT_TRUE(shown.startsWith(title)) << shown.toStdString();
      const QString note = shown.mid(title.size());
      EXPECT_FALSE(note.trimmed().isEmpty());
      EXPECT_FALSE(note.contains('%')) << note.toStdString();
      EXPECT_EQ(note.contains("198.51.100.7:29170"), answer == RouterAnswer::Mapped);
      if (answer == RouterAnswer::Mapped) {
        EXPECT_TRUE(note.contains("NAT-PMP"));
      }
      notes.insert(note);
    }
    EXPECT_EQ(notes.size(), 4);
  }
  QCoreApplication::removeTranslator(&english);
}

}  // namespace
}  // namespace kavarin

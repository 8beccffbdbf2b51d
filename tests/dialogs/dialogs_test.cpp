#include <gtest/gtest.h>

#include <QApplication>
#include <QFontDatabase>
#include <QFontInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

#include "app/dialogs/about_dialog.h"
#include "app/dialogs/how_to_play_dialog.h"

namespace {

struct ExpectedLabel {
  const char* name;
  int left;
  int top;
  const char* caption;
  int pixel_size;
};

// The How-to-play page as players must see it.
const ExpectedLabel kHowToPlay[] = {
    {"Label1", 96, 8, "遊び方", 19},
    {"Label2", 16, 40, "２人対戦専用のシューティングゲームです。", 12},
    {"Label13", 16, 56, "撃ち合って相手の宇宙船を破壊してください。", 12},
    {"Label17", 16, 80, "どちらか一方、または両方が破壊されると", 12},
    {"Label18", 16, 96, "ゲームは一時中断し、得点を表示します。", 12},
    {"Label19", 16, 112, "このとき", 12},
    {"Label20", 88, 112, "スペースキー", 16},
    {"Label21", 64, 136, "を押せばゲームは続行されます。", 12},
    {"Label14", 16, 160, "どちらか一方、または両方が", 12},
    {"Label15", 168, 156, "３ポイント", 16},
    {"Label16", 16, 176, "になったところでゲームオーバーとなります。", 12},
    {"Label3", 88, 208, "操作方法", 19},
    {"Label5", 48, 240, "左側", 12},
    {"Label4", 192, 240, "右側", 12},
    {"Label6", 8, 264, "”Ａ”－上方移動", 12},
    {"Label9", 152, 264, "上方移動－”］”(む)", 12},
    {"Label7", 24, 280, "”Ｓ”－光線発射", 12},
    {"Label10", 136, 280, "光線発射－”：”(け)", 12},
    {"Label8", 24, 296, "”Ｘ”－下方移動", 12},
    {"Label11", 128, 296, "下方移動－”／”(め)", 12},
    {"Label12", 24, 320, "”スペース”・・・超新星爆発・・・”スペース”", 12},
};

const ExpectedLabel kAbout[] = {
    {"Label1", 80, 32, "Kavarin for Windows95", 12},
    {"Label2", 128, 56, "Version 0.970819ot", 12},
    {"Label4", 128, 80, "(音付きﾊﾞｰｼﾞｮﾝ）", 12},
};

void ExpectLabel(const QDialog& dialog, const ExpectedLabel& want) {
  SCOPED_TRACE(want.name);
  const auto* label = dialog.findChild<QLabel*>(QString::fromLatin1(want.name));
  ASSERT_NE(label, nullptr);
  EXPECT_EQ(label->text(), QString::fromUtf8(want.caption));
  EXPECT_EQ(label->pos(), QPoint(want.left, want.top));
  EXPECT_EQ(label->font().pixelSize(), want.pixel_size);
  const QColor black(Qt::black);
  if (want.pixel_size == 12) {
    EXPECT_EQ(label->palette().color(QPalette::WindowText),
              dialog.palette().color(QPalette::WindowText));
  } else {
    EXPECT_EQ(label->palette().color(QPalette::WindowText), black);
  }
}

// Every child sits wholly inside the client area, shows all of its text and
// covers no other child.
void ExpectNothingClippedOrOverlapping(const QDialog& dialog) {
  const QList<QWidget*> children = dialog.findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
  ASSERT_FALSE(children.isEmpty());
  for (const QWidget* child : children) {
    SCOPED_TRACE(child->objectName().toStdString());
    EXPECT_TRUE(dialog.rect().contains(child->geometry()));
    if (qobject_cast<const QLabel*>(child) != nullptr) {
      EXPECT_GE(child->width(), child->sizeHint().width());
      EXPECT_GE(child->height(), child->sizeHint().height());
    } else if (const auto* button = qobject_cast<const QPushButton*>(child)) {
      // Buttons keep their fixed size; the caption must still fit inside it.
      const QSize text = button->fontMetrics().size(Qt::TextShowMnemonic, button->text());
      EXPECT_LT(text.width() + 8, button->width());
      EXPECT_LT(text.height() + 4, button->height());
    }
    for (const QWidget* other : children) {
      if (other == child) continue;
      EXPECT_FALSE(child->geometry().intersects(other->geometry()))
          << "overlaps " << other->objectName().toStdString();
    }
  }
}

void ExpectDialogFrame(const QDialog& dialog, const char* name, const char* caption, QSize client,
                       QPoint position) {
  EXPECT_EQ(dialog.objectName(), QString::fromLatin1(name));
  EXPECT_EQ(dialog.windowTitle(), QString::fromUtf8(caption));
  EXPECT_EQ(dialog.size(), client);
  EXPECT_EQ(dialog.minimumSize(), client);
  EXPECT_EQ(dialog.maximumSize(), client);
  EXPECT_EQ(dialog.pos(), position);
  EXPECT_TRUE(dialog.isWindow());
  EXPECT_FALSE(dialog.windowFlags() & Qt::WindowMaximizeButtonHint);
  EXPECT_FALSE(dialog.windowFlags() & Qt::WindowMinimizeButtonHint);
  EXPECT_TRUE(dialog.windowFlags() & Qt::WindowCloseButtonHint);
}

void ExpectJapaneseDialogFont(const QDialog& dialog) {
  EXPECT_EQ(dialog.font().pixelSize(), 12);
  const QString family = QFontInfo(dialog.font()).family();
  EXPECT_TRUE(QFontDatabase::families(QFontDatabase::Japanese).contains(family))
      << family.toStdString();
  if (QFontDatabase::hasFamily(QStringLiteral("IPAPGothic")) &&
      !QFontDatabase::hasFamily(QStringLiteral("MS PGothic"))) {
    EXPECT_EQ(family, QStringLiteral("IPAPGothic"));
  }
}

TEST(AboutDialog, FrameFontAndContents) {
  TForm2 form;
  ExpectDialogFrame(form, "Form2", "ﾊﾞｰｼﾞｮﾝ情報", QSize(283, 192), QPoint(87, 90));
  EXPECT_EQ(form.windowModality(), Qt::ApplicationModal);
  ExpectJapaneseDialogFont(form);
  for (const ExpectedLabel& label : kAbout) ExpectLabel(form, label);

  const auto* notice = form.findChild<QLabel*>(QStringLiteral("Label3"));
  ASSERT_NE(notice, nullptr);
  EXPECT_EQ(notice->pos(), QPoint(72, 104));
  EXPECT_FALSE(notice->text().trimmed().isEmpty());

  const auto* image = form.findChild<QLabel*>(QStringLiteral("Image1"));
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(image->geometry(), QRect(32, 32, 32, 32));
  EXPECT_EQ(image->pixmap().size(), QSize(32, 32));

  const auto* ok = form.findChild<QPushButton*>(QStringLiteral("Button1"));
  ASSERT_NE(ok, nullptr);
  EXPECT_EQ(ok->text(), QStringLiteral("OK"));
  EXPECT_EQ(ok->geometry(), QRect(104, 128, 75, 25));

  ExpectNothingClippedOrOverlapping(form);
}

TEST(AboutDialog, OkEndsTheModalLoop) {
  TForm2 form;
  auto* ok = form.findChild<QPushButton*>(QStringLiteral("Button1"));
  ASSERT_NE(ok, nullptr);
  bool was_visible = false;
  QTimer::singleShot(0, &form, [&] {
    was_visible = form.isVisible();
    ok->click();
  });
  EXPECT_EQ(form.exec(), QDialog::Accepted);
  EXPECT_TRUE(was_visible);
  EXPECT_FALSE(form.isVisible());
}

TEST(HowToPlayDialog, FrameFontAndAllLabels) {
  TForm3 form;
  ExpectDialogFrame(form, "Form3", "遊び方", QSize(256, 349), QPoint(436, 22));
  EXPECT_EQ(form.windowModality(), Qt::NonModal);
  ExpectJapaneseDialogFont(form);
  // Nothing on the page but its 21 labels.
  EXPECT_EQ(form.findChildren<QWidget*>(Qt::FindDirectChildrenOnly).size(), 21);
  for (const ExpectedLabel& label : kHowToPlay) ExpectLabel(form, label);
  ExpectNothingClippedOrOverlapping(form);
}

TEST(HowToPlayDialog, KeepsItsKeysAndIgnoresEscape) {
  // Stands in for the main window: it must not see keys typed into the page.
  class KeyWatcher : public QWidget {
   public:
    int keys = 0;

   protected:
    void keyPressEvent(QKeyEvent*) override { ++keys; }
  } owner;
  TForm3 form(&owner);
  form.show();
  for (int key : {Qt::Key_Escape, Qt::Key_A, Qt::Key_Space}) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(&form, &press);
  }
  EXPECT_TRUE(form.isVisible());
  EXPECT_EQ(owner.keys, 0);
}

}  // namespace

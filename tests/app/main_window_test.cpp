#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <memory>
#include <string>
#include <vector>

#include "app/dialogs/about_dialog.h"
#include "app/dialogs/how_to_play_dialog.h"
#include "app/main_window.h"
#include "app/sound/sdl_cue_player.h"
#include "match/keys.h"

namespace kavarin {
namespace {

class RecordingCues : public CuePlayer {
 public:
  void PlayCue(std::string_view name) override { played.emplace_back(name); }
  std::vector<std::string> played;
};

int WhitePixels(const Field& field) {
  int n = 0;
  for (int32_t y = 0; y < FieldHeight; ++y)
    for (int32_t x = 0; x < FieldWidth; ++x) n += field.IsWhite(x, y);
  return n;
}

// Activation reaches the widgets through the event loop; the offscreen platform cannot be
// asked whether it has happened, so watch for it.
bool WaitActive(QWidget* window) {
  for (int i = 0; i < 100 && QApplication::activeWindow() != window; ++i) QTest::qWait(10);
  return QApplication::activeWindow() == window;
}

// The main window as start-up builds it, shown and active, with both dialogs.
class MainWindowTest : public testing::Test {
 protected:
  void SetUp() override { Open(cues_); }

  void Open(CuePlayer& cues) {
    form_ = std::make_unique<TForm1>(cues);
    form2_ = new TForm2(form_.get());
    form3_ = new TForm3(form_.get());
    form_->SetDialogs(form2_, form3_);
    form_->show();
    form_->activateWindow();
    ASSERT_TRUE(WaitActive(form_.get()));
  }

  // A key event as the window system delivers it, to the widget that has the focus.
  void Key(QEvent::Type type, int key, bool autoRepeat = false,
           Qt::KeyboardModifiers mods = Qt::NoModifier) {
    QKeyEvent event(type, key, mods, QString(), autoRepeat);
    QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : form_.get();
    QApplication::sendEvent(target, &event);
  }
  void Tap(int key) {
    Key(QEvent::KeyPress, key);
    Key(QEvent::KeyRelease, key);
  }
  void F2() { QTest::keyClick(form_.get(), Qt::Key_F2); }

  bool Running() const { return !AllStopped(form_->Timers()); }
  // Timer firings: each runs a tick while play runs and nothing while it is stopped.
  void Fire(int n) {
    for (int i = 0; i < n; ++i)
      if (Running()) form_->Tick();
  }
  MatchState& State() { return form_->Game().state; }
  const Field& Pixels() { return form_->View().Pixels(); }

  // Both ships sit at the bottom, fire at once and hit each other: a round of 61 ticks that
  // gives each player a point.
  void PlayRoundBothHit() {
    State().RightY = 300;
    State().LeftY = 300;
    Tap(Qt::Key_S);
    Tap(Qt::Key_Semicolon);
    for (int i = 0; i < 200 && Running(); ++i) form_->Tick();
    ASSERT_FALSE(Running()) << "the round did not end";
  }

  RecordingCues cues_;
  std::unique_ptr<TForm1> form_;
  TForm2* form2_ = nullptr;
  TForm3* form3_ = nullptr;
};

TEST_F(MainWindowTest, WindowIsAFixed400By300FieldBelowTheMenu) {
  EXPECT_EQ(form_->objectName(), "Form1");
  EXPECT_STREQ(form_->metaObject()->className(), "kavarin::TForm1");
  EXPECT_EQ(form_->windowTitle(), "Kavarin");
  EXPECT_EQ(form_->pos(), QPoint(28, 23));
  ASSERT_EQ(form_->centralWidget(), &form_->View());
  EXPECT_EQ(form_->View().size(), QSize(400, 300));
  EXPECT_EQ(form_->View().geometry().top(), form_->menuBar()->geometry().bottom() + 1);
  EXPECT_EQ(form_->size(), QSize(400, form_->menuBar()->height() + 300));
  EXPECT_EQ(form_->minimumSize(), form_->maximumSize());
  const Qt::WindowFlags flags = form_->windowFlags();
  EXPECT_FALSE(flags.testFlag(Qt::WindowMaximizeButtonHint));
  EXPECT_TRUE(flags.testFlag(Qt::WindowMinimizeButtonHint));
  EXPECT_TRUE(flags.testFlag(Qt::WindowCloseButtonHint));
  // Trying to resize changes nothing.
  form_->resize(640, 480);
  EXPECT_EQ(form_->View().size(), QSize(400, 300));
}

TEST_F(MainWindowTest, MenuHasExactlyTheGameAndHelpCommands) {
  auto item = [&](const char* name) { return form_->findChild<QAction*>(name); };
  auto menu = [&](const char* name) { return form_->findChild<QMenu*>(name); };
  QMenu* kg1 = menu("KG1");
  QMenu* k1 = menu("K1");
  ASSERT_TRUE(kg1 && k1);
  EXPECT_EQ(form_->menuBar()->actions(), (QList<QAction*>{kg1->menuAction(), k1->menuAction()}));
  EXPECT_EQ(kg1->title(), "ゲーム(&G)");
  EXPECT_EQ(k1->title(), "？(&H)");
  ASSERT_TRUE(item("KS1") && item("N1") && item("Exit1") && item("KP1") && item("N2") &&
              item("About1"));
  EXPECT_EQ(kg1->actions(), (QList<QAction*>{item("KS1"), item("N1"), item("Exit1")}));
  EXPECT_EQ(k1->actions(), (QList<QAction*>{item("KP1"), item("N2"), item("About1")}));
  EXPECT_EQ(item("KS1")->text(), "開始(&S)");
  EXPECT_EQ(item("Exit1")->text(), "終了(&X)");
  EXPECT_EQ(item("KP1")->text(), "遊び方(&P)");
  EXPECT_EQ(item("About1")->text(), "ﾊﾞｰｼﾞｮﾝ情報(&A)");
  EXPECT_TRUE(item("N1")->isSeparator());
  EXPECT_TRUE(item("N2")->isSeparator());
  const std::pair<QString, Qt::Key> mnemonics[] = {
      {kg1->title(), Qt::Key_G},        {k1->title(), Qt::Key_H},
      {item("KS1")->text(), Qt::Key_S}, {item("Exit1")->text(), Qt::Key_X},
      {item("KP1")->text(), Qt::Key_P}, {item("About1")->text(), Qt::Key_A},
  };
  for (const auto& [text, key] : mnemonics)
    EXPECT_EQ(QKeySequence::mnemonic(text), QKeySequence(Qt::ALT | key)) << text.toStdString();
  // F2 is Start's shortcut, and the only one.
  EXPECT_EQ(item("KS1")->shortcut(), QKeySequence(Qt::Key_F2));
  for (QAction* a : form_->findChildren<QAction*>())
    if (a != item("KS1")) {
      EXPECT_TRUE(a->shortcut().isEmpty()) << a->objectName().toStdString();
    }
}

TEST_F(MainWindowTest, StartsIdleWithNothingDrawn) {
  EXPECT_FALSE(Running());
  QTest::qWait(150);
  EXPECT_EQ(State().Charge, 1) << "a tick ran before Start";
  EXPECT_EQ(WhitePixels(Pixels()), 0);
}

TEST_F(MainWindowTest, F2StartsANewMatchFromEveryState) {
  F2();  // from the first, idle state
  ASSERT_TRUE(Running());
  Fire(40);
  EXPECT_GT(WhitePixels(Pixels()), 0);

  // During play: the field is cleared and play goes on from the first tick's state.
  Tap(Qt::Key_S);
  Fire(3);
  ASSERT_EQ(State().LeftBeamState, 2);
  F2();
  EXPECT_TRUE(Running());
  EXPECT_EQ(State().Charge, 1);
  EXPECT_EQ(State().LeftBeamState, 0);
  EXPECT_EQ(WhitePixels(Pixels()), 0);

  // Between rounds: the scoreboard goes and the scores go back to 0.
  PlayRoundBothHit();
  ASSERT_EQ(State().LeftScore, 1);
  ASSERT_EQ(State().RightScore, 1);
  ASSERT_GT(WhitePixels(Pixels()), 0);
  F2();
  EXPECT_TRUE(Running());
  EXPECT_EQ(State().LeftScore, 0);
  EXPECT_EQ(State().RightScore, 0);
  EXPECT_EQ(WhitePixels(Pixels()), 0);

  // At game over Space no longer continues; F2 still starts.
  State().LeftScore = 2;
  State().RightScore = 2;
  PlayRoundBothHit();
  ASSERT_EQ(State().LeftScore, 3);
  const int scoreboard = WhitePixels(Pixels());
  Tap(Qt::Key_Space);
  EXPECT_FALSE(Running());
  EXPECT_EQ(WhitePixels(Pixels()), scoreboard);
  F2();
  EXPECT_TRUE(Running());
  EXPECT_EQ(State().LeftScore, 0);
  EXPECT_EQ(State().RightScore, 0);
  EXPECT_EQ(WhitePixels(Pixels()), 0);
}

TEST_F(MainWindowTest, SpaceBeforeTheFirstStartStartsPlay) {
  Tap(Qt::Key_Space);
  EXPECT_TRUE(Running());
  Fire(10);
  EXPECT_EQ(State().Charge, 11);
  EXPECT_EQ(form_->View().size(), QSize(400, 300));
}

TEST_F(MainWindowTest, AutoRepeatReleasesAreNotKeyUps) {
  F2();
  Key(QEvent::KeyPress, Qt::Key_A);
  ASSERT_EQ(State().LeftThrust, -1);
  for (int i = 0; i < 5; ++i) {
    Key(QEvent::KeyRelease, Qt::Key_A, true);
    EXPECT_EQ(State().LeftThrust, -1);
    Key(QEvent::KeyPress, Qt::Key_A, true);
  }
  Key(QEvent::KeyRelease, Qt::Key_A);
  EXPECT_EQ(State().LeftThrust, 0);

  // Holding fire fires again with the first repeat after the beam is gone.
  Key(QEvent::KeyPress, Qt::Key_S);
  Fire(1);
  ASSERT_EQ(State().LeftBeamState, 2);
  EXPECT_EQ(cues_.played, std::vector<std::string>{"hassha"});
  int ticks = 0;
  while (State().LeftBeamState != 0 && ticks++ < 100) {
    Key(QEvent::KeyRelease, Qt::Key_S, true);
    Key(QEvent::KeyPress, Qt::Key_S, true);
    Fire(1);
  }
  ASSERT_EQ(State().LeftBeamState, 0);
  Key(QEvent::KeyRelease, Qt::Key_S, true);
  Key(QEvent::KeyPress, Qt::Key_S, true);
  EXPECT_EQ(State().LeftBeamState, 1);
}

TEST_F(MainWindowTest, KeysGoToWhicheverWindowIsActive) {
  F2();
  form_->KP1Click();
  ASSERT_TRUE(WaitActive(form3_));
  EXPECT_FALSE(form_->isActiveWindow());
  QTest::keyClick(form3_, Qt::Key_S);
  Key(QEvent::KeyPress, Qt::Key_A);  // to the focus widget, which is in the dialog
  QKeyEvent stray(QEvent::KeyPress, Qt::Key_X, Qt::NoModifier);
  QApplication::sendEvent(&form_->View(), &stray);  // the main window is not active
  EXPECT_EQ(State().LeftBeamState, 0);
  EXPECT_EQ(State().LeftThrust, 0);

  // Back in the main window keys reach the game; choosing How to play again raises the
  // dialog that is still open.
  form_->activateWindow();
  ASSERT_TRUE(WaitActive(form_.get()));
  Tap(Qt::Key_S);
  EXPECT_EQ(State().LeftBeamState, 1);
  EXPECT_TRUE(form3_->isVisible());
  form_->KP1Click();
  EXPECT_TRUE(WaitActive(form3_));
}

TEST_F(MainWindowTest, TheGameGoesOnWhileVersionInformationIsOpen) {
  F2();
  int32_t chargeWhileOpen = 0;
  bool modal = false;
  QTimer::singleShot(500, form2_, [&] {
    modal = form2_->isVisible() && QApplication::activeModalWidget() == form2_;
    // The main window takes no input meanwhile.
    Key(QEvent::KeyPress, Qt::Key_A);
    QKeyEvent key(QEvent::KeyPress, Qt::Key_X, Qt::NoModifier);
    QApplication::sendEvent(&form_->View(), &key);
    chargeWhileOpen = State().Charge;
    form2_->accept();
  });
  form_->About1Click();
  EXPECT_TRUE(modal);
  EXPECT_GE(chargeWhileOpen, 10) << "ticks stopped while the dialog was open";
  EXPECT_EQ(State().LeftThrust, 0);
  EXPECT_FALSE(form2_->isVisible());
}

// The field drawn by the game, as the widget shows it at a given device pixel ratio.
QImage Render(FieldView& view, int ratio) {
  QImage image(FieldWidth * ratio, FieldHeight * ratio, QImage::Format_RGB32);
  image.setDevicePixelRatio(ratio);
  image.fill(Qt::red);
  view.render(&image);
  return image;
}

TEST(FieldView, EveryFieldPixelIsACrispSquareAtHighPixelRatios) {
  Field field;
  FieldView view(field);
  field.SetPenColor(Color::White);
  const Point star[] = {{200, 209}, {242, 188}, {259, 150}, {238, 108}, {200, 91},
                        {158, 112}, {141, 150}, {162, 192}, {200, 209}};
  field.Polyline(star);
  const Point corner[] = {{0, 0}, {399, 0}, {399, 299}};
  field.Polyline(corner);
  for (int ratio : {1, 2, 3}) {
    const QImage image = Render(view, ratio);
    int mismatches = 0;
    for (int y = 0; y < image.height(); ++y)
      for (int x = 0; x < image.width(); ++x) {
        const QRgb want = view.Pixels().IsWhite(x / ratio, y / ratio) ? 0xFFFFFFFF : 0xFF000000;
        mismatches += image.pixel(x, y) != want;
      }
    EXPECT_EQ(mismatches, 0) << "ratio " << ratio;
  }
}

TEST_F(MainWindowTest, FieldKeepsItsPictureThroughMinimiseAndRestore) {
  F2();
  PlayRoundBothHit();
  const int white = WhitePixels(Pixels());
  ASSERT_GT(white, 0);
  form_->showMinimized();
  QTest::qWait(50);
  form_->hide();
  QTest::qWait(50);
  form_->showNormal();
  QTest::qWait(50);
  EXPECT_EQ(WhitePixels(Pixels()), white);
  const QImage shown = form_->View().grab().toImage();
  int mismatches = 0;
  for (int y = 0; y < FieldHeight; ++y)
    for (int x = 0; x < FieldWidth; ++x)
      mismatches += (qGray(shown.pixel(x, y)) == 255) != Pixels().IsWhite(x, y);
  EXPECT_EQ(mismatches, 0);
}

TEST_F(MainWindowTest, RepaintsOnlyWhenSomethingWasDrawn) {
  int paints = 0;
  struct Counter : QObject {
    int* n;
    bool eventFilter(QObject*, QEvent* e) override {
      if (e->type() == QEvent::Paint) ++*n;
      return false;
    }
  } counter;
  counter.n = &paints;
  form_->View().installEventFilter(&counter);
  QTest::qWait(100);
  paints = 0;
  Tap(Qt::Key_B);  // ignored key: nothing drawn
  QTest::qWait(50);
  EXPECT_EQ(paints, 0);
  F2();
  QTest::qWait(100);  // ticks run and each schedules a repaint
  EXPECT_GT(paints, 0);
}

// Robustness: nothing the players do can break the window.
TEST_F(MainWindowTest, FloodsOfKeysAndRepeatedCommandsDuringPlay) {
  F2();
  QTest::qWait(100);
  const int keys[] = {Qt::Key_A,           Qt::Key_Q,     Qt::Key_X,         Qt::Key_S,
                      Qt::Key_Space,       Qt::Key_Slash, Qt::Key_Semicolon, Qt::Key_BracketRight,
                      Qt::Key_BracketLeft, Qt::Key_B,     Qt::Key_F5,        Qt::Key_Return};
  for (int i = 0; i < 10000; ++i) {
    const int key = keys[i % std::size(keys)];
    Key(i % 3 == 2 ? QEvent::KeyRelease : QEvent::KeyPress, key, i % 5 == 0);
  }
  Fire(1);
  EXPECT_TRUE(Running());
  EXPECT_GE(State().Charge, 2);

  for (int i = 0; i < 100; ++i) {
    F2();
    QCoreApplication::processEvents();
  }
  EXPECT_TRUE(Running());
  const int32_t charge = State().Charge;
  QTest::qWait(200);
  EXPECT_GT(State().Charge, charge) << "ticks stopped after many Starts";

  // Both dialogs opened and closed during play.
  form_->KP1Click();
  QTest::qWait(50);
  QTimer::singleShot(100, form2_, [&] { form2_->reject(); });
  form_->About1Click();
  form3_->close();
  form_->activateWindow();
  ASSERT_TRUE(WaitActive(form_.get()));
  EXPECT_TRUE(Running());
  Tap(Qt::Key_S);
  EXPECT_EQ(State().LeftBeamState, 1);

  // Exit in the middle of play closes the window at once.
  form_->Exit1Click();
  EXPECT_FALSE(form_->isVisible());
  QTest::qWait(100);
}

TEST(MainWindowSound, AWholeMatchWithEveryCueFileMissing) {
  SdlCuePlayer cues({"/nonexistent/kavarin-sounds"});
  TForm1 form(cues);
  form.show();
  MatchState& s = form.Game().state;
  form.KS1Click();
  for (int round = 0; round < 3; ++round) {
    s.RightY = 300;
    s.LeftY = 300;
    FormKeyDown(form.Game(), 83);
    FormKeyDown(form.Game(), 186);
    for (int i = 0; i < 200 && !AllStopped(form.Timers()); ++i) form.Tick();
    FormKeyDown(form.Game(), 32);  // next round, refused at game over
  }
  EXPECT_EQ(s.LeftScore, 3);
  EXPECT_EQ(s.RightScore, 3);
  EXPECT_TRUE(AllStopped(form.Timers()));
}

}  // namespace
}  // namespace kavarin

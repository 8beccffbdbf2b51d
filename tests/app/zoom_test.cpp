#include <gtest/gtest.h>

#include <QApplication>
#include <QBackingStore>
#include <QKeyEvent>
#include <QMenuBar>
#include <QScreen>
#include <QTest>
#include <cmath>
#include <memory>
#include <random>

#include "app/main_window.h"
#include "app/zoom_fit.h"

namespace kavarin {
namespace {

TEST(ZoomFit, TheLargestWholeZoomThatFitsTwoThirdsOfTheScreen) {
  const QSize chrome(2, 50);  // frame and menu bar
  struct Case {
    QSize screen;  // logical pixels
    qreal ratio;
    int zoom;  // device pixels per field pixel
  };
  const Case cases[] = {
      {{640, 480}, 1, 1},      // nothing larger fits
      {{1366, 768}, 1, 1},     //
      {{1920, 1080}, 1, 2},    //
      {{2560, 1440}, 1, 3},    //
      {{3840, 2160}, 1, 4},    //
      {{1920, 1080}, 2, 4},    // a 4K screen at ratio 2: ×2 in logical pixels
      {{1280, 720}, 1.5, 2},   // 1080p at 150 %: 1.33 logical pixels a field pixel
      {{1536, 864}, 1.25, 2},  // 1080p at 125 %
      {{640, 480}, 2, 2},      // never below the original's logical size
  };
  for (const Case& c : cases) {
    const QSize room(c.screen.width(), c.screen.height() * 2 / 3);
    const int zoom = LargestFittingZoom(room, chrome, c.ratio);
    EXPECT_EQ(zoom, c.zoom) << c.screen.width() << "x" << c.screen.height() << " @" << c.ratio;
    // The whole field in whole device pixels, and never cut off.
    const QSize shown = ShownSize({FieldWidth, FieldHeight}, zoom, c.ratio);
    EXPECT_GE(shown.width() * c.ratio, FieldWidth * zoom - 1e-6);
    EXPECT_GE(shown.height() * c.ratio, FieldHeight * zoom - 1e-6);
  }
  EXPECT_EQ(FullScreenZoom({1920, 1080}, 1), 3);
  EXPECT_EQ(FullScreenZoom({1280, 1024}, 1), 3);
  EXPECT_EQ(FullScreenZoom({1920, 1080}, 2), 7);
  EXPECT_EQ(FullScreenZoom({1280, 720}, 1.5), 3);
  EXPECT_EQ(FullScreenZoom({320, 240}, 1), 1);
}

// The main window on whatever screen the test runs with: ctest runs these on the default
// offscreen screen, on a 1920 × 1080 one, and on that one at a device pixel ratio of 1.5.
class WindowZoomTest : public testing::Test {
 protected:
  void SetUp() override {
    form_ = std::make_unique<TForm1>(cues_);
    form_->show();
    form_->activateWindow();
    for (int i = 0; i < 100 && QApplication::activeWindow() != form_.get(); ++i) QTest::qWait(10);
    ASSERT_EQ(QApplication::activeWindow(), form_.get());
  }

  void Key(QEvent::Type type, int key, Qt::KeyboardModifiers mods, bool autoRepeat = false) {
    QKeyEvent event(type, key, mods, QString(), autoRepeat);
    QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : form_.get();
    QApplication::sendEvent(target, &event);
  }
  void Tap(int key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    Key(QEvent::KeyPress, key, mods);
    Key(QEvent::KeyRelease, key, mods);
  }
  void Settle() {
    for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
  }
  WindowZoom& Zoom() { return form_->Zoom(); }
  MatchState& State() { return form_->Game().state; }

  // Random play: keys pressed and let go at random, ticks run now and then by the paced timers
  // and mostly here, each tick's repaint reaching the window before the next. Ends with play
  // stopped, so that nothing changes while the picture is compared.
  void PlayAtRandom(uint32_t seed, int ticks) {
    std::mt19937 random(seed);
    const int keys[] = {
        Qt::Key_A,     Qt::Key_Q,         Qt::Key_X,    Qt::Key_S, Qt::Key_BracketRight,
        Qt::Key_Slash, Qt::Key_Semicolon, Qt::Key_Space};
    QTest::keyClick(form_.get(), Qt::Key_F2);
    for (int t = 0; t < ticks; ++t) {
      if (random() % 3 == 0) {
        const int key = keys[random() % std::size(keys)];
        Key(random() % 2 ? QEvent::KeyPress : QEvent::KeyRelease, key, Qt::NoModifier);
      }
      if (!AllStopped(form_->Timers())) form_->Tick();
      Settle();
    }
    form_->Game().SetIntervals(StopOrder, StoppedInterval);
    Settle();
  }

  // What the window shows, in device pixels: on X11 the server's pixels, where the changed
  // pixels go straight; elsewhere the backing store, where every repaint goes.
  QImage Shown() {
    if (QGuiApplication::platformName() == "xcb")
      return form_->screen()->grabWindow(form_->winId()).toImage();
    QPaintDevice* device = form_->backingStore()->paintDevice();
    if (device->devType() != QInternal::Image) return {};
    return static_cast<QImage*>(device)->copy();
  }

  // The device pixels of `shown` that differ from the field scaled by nearest neighbour: each
  // field pixel a square of Zoom() device pixels, the field starting on the first whole device
  // pixel of the view, or centred in fullscreen, where everything around it is black but for a
  // grey line one device pixel wide just outside it.
  int Mismatches(const QImage& shown) {
    const FieldView& view = form_->View();
    const qreal ratio = view.devicePixelRatioF();
    const int zoom = view.Zoom();
    const QPointF at = QPointF(view.mapTo(form_.get(), QPoint())) * ratio;
    QPoint origin(static_cast<int>(std::ceil(at.x() - 1e-6)),
                  static_cast<int>(std::ceil(at.y() - 1e-6)));
    QRect checked(origin, QSize(FieldWidth * zoom, FieldHeight * zoom));
    if (Zoom().FullScreen()) {
      checked = shown.rect();
      origin = QPoint((shown.width() - FieldWidth * zoom) / 2,
                      (shown.height() - FieldHeight * zoom) / 2);
    }
    int mismatches = 0;
    for (int y = checked.top(); y <= checked.bottom(); ++y)
      for (int x = checked.left(); x <= checked.right(); ++x) {
        const int fx = x - origin.x() >= 0 ? (x - origin.x()) / zoom : -1;
        const int fy = y - origin.y() >= 0 ? (y - origin.y()) / zoom : -1;
        const bool white = fx >= 0 && fx < FieldWidth && fy >= 0 && fy < FieldHeight &&
                           view.Pixels().IsWhite(fx, fy);
        const QRect field(origin, QSize(FieldWidth * zoom, FieldHeight * zoom));
        const bool edge = Zoom().FullScreen() && !field.contains(x, y) &&
                          field.adjusted(-1, -1, 1, 1).contains(x, y);
        mismatches += (shown.pixel(x, y) & 0xFFFFFF) != (white ? 0xFFFFFFu : edge ? 0x404040u : 0u);
      }
    return mismatches;
  }

  // After random play at the zoom shown now, the window shows the field exactly, and what the
  // repaints of the changed rectangles left is what one whole repaint gives.
  void CheckPlayShownExactly(uint32_t seed) {
    SCOPED_TRACE(testing::Message()
                 << "zoom " << Zoom().Zoom() << (Zoom().FullScreen() ? " fullscreen" : "")
                 << ", seed " << seed);
    PlayAtRandom(seed, 150);
    const QImage partial = Shown();
    ASSERT_GE(partial.width(), FieldWidth * Zoom().Zoom());
    EXPECT_EQ(Mismatches(partial), 0);
    form_->View().repaint();
    const QImage whole = Shown();
    EXPECT_EQ(Mismatches(whole), 0);
    EXPECT_TRUE(partial == whole);
  }

  class : public CuePlayer {
    void PlayCue(std::string_view) override {}
  } cues_;
  std::unique_ptr<TForm1> form_;
};

TEST_F(WindowZoomTest, EveryZoomShowsTheFieldExactlyAfterRandomPlay) {
  const int smallest = Zoom().SmallestZoom();
  const int largest = Zoom().LargestZoom();
  ASSERT_LE(smallest, largest);
  // The window opens at the largest zoom within two thirds of the screen's height.
  const int screenHeight = form_->screen()->availableGeometry().height();
  EXPECT_TRUE(Zoom().Zoom() == smallest || form_->frameGeometry().height() <= screenHeight * 2 / 3)
      << "opened at " << Zoom().Zoom() << ", " << form_->frameGeometry().height() << " high";
  uint32_t seed = 1;
  for (int zoom = smallest; zoom <= largest; ++zoom) {
    ASSERT_TRUE(Zoom().SetZoom(zoom));
    Settle();
    CheckPlayShownExactly(seed++);
    // Start puts back the client size: the field at this zoom.
    EXPECT_EQ(form_->View().size(),
              ShownSize({FieldWidth, FieldHeight}, zoom, form_->View().devicePixelRatioF()));
  }
  EXPECT_FALSE(Zoom().SetZoom(largest + 1));
  EXPECT_FALSE(Zoom().SetZoom(smallest - 1));
  Zoom().SetFullScreen(true);
  // A window manager makes it fullscreen in its own time.
  const QSize screen = form_->screen()->geometry().size();
  for (int i = 0; i < 200 && form_->View().size() != screen; ++i) QTest::qWait(10);
  Settle();
  EXPECT_EQ(form_->View().size(), screen);
  EXPECT_FALSE(form_->menuBar()->isVisible());
  CheckPlayShownExactly(seed++);
}

TEST_F(WindowZoomTest, ZoomAndFullScreenKeysNeverReachTheGame) {
  QTest::keyClick(form_.get(), Qt::Key_F2);
  form_->Game().SetIntervals(StopOrder, StoppedInterval);  // no tick in between
  const MatchState before = State();
  const Field field = form_->View().Pixels();
  const int smallest = Zoom().SmallestZoom();
  const int largest = Zoom().LargestZoom();
  ASSERT_TRUE(Zoom().SetZoom(smallest));

  // Zoom keys step once a press, held keys once, within what fits.
  for (int i = 0; i < largest - smallest + 2; ++i) {
    Tap(Qt::Key_Equal, Qt::ControlModifier);
    Key(QEvent::KeyPress, Qt::Key_Equal, Qt::ControlModifier, true);
  }
  EXPECT_EQ(Zoom().Zoom(), largest);
  Tap(Qt::Key_Minus, Qt::ControlModifier);
  EXPECT_EQ(Zoom().Zoom(), std::max(smallest, largest - 1));
  Tap(Qt::Key_Plus, Qt::ControlModifier | Qt::ShiftModifier);
  EXPECT_EQ(Zoom().Zoom(), largest);
  Tap(Qt::Key_Minus, Qt::ControlModifier | Qt::KeypadModifier);
  EXPECT_EQ(Zoom().Zoom(), std::max(smallest, largest - 1));

  // Fullscreen on and off; Esc only leaves it.
  Tap(Qt::Key_F11);
  EXPECT_TRUE(Zoom().FullScreen());
  Tap(Qt::Key_Escape);
  EXPECT_FALSE(Zoom().FullScreen());
  Tap(Qt::Key_Escape);
  EXPECT_FALSE(Zoom().FullScreen());
  Tap(Qt::Key_Return, Qt::AltModifier);
  EXPECT_TRUE(Zoom().FullScreen());
  Tap(Qt::Key_Equal, Qt::ControlModifier);  // the zoom is the screen's in fullscreen
  Tap(Qt::Key_Enter, Qt::AltModifier | Qt::KeypadModifier);
  EXPECT_FALSE(Zoom().FullScreen());
  EXPECT_EQ(Zoom().Zoom(), std::max(smallest, largest - 1));
  EXPECT_EQ(form_->minimumSize(), form_->maximumSize()) << "the window stays of fixed size";
  Settle();

  EXPECT_TRUE(State() == before);
  EXPECT_TRUE(form_->View().Pixels() == field);

  // Ctrl with a game key stays the game key; F2 starts in fullscreen too.
  Tap(Qt::Key_S, Qt::ControlModifier);
  EXPECT_EQ(State().LeftBeamState, 1);
  Key(QEvent::KeyPress, Qt::Key_Q, Qt::ControlModifier);
  EXPECT_EQ(State().LeftThrust, -1);
  Zoom().SetFullScreen(true);
  Settle();
  QTest::keyClick(form_.get(), Qt::Key_F2);
  EXPECT_FALSE(AllStopped(form_->Timers()));
  EXPECT_EQ(State().LeftBeamState, 0);
}

}  // namespace
}  // namespace kavarin

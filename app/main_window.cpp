#include "app/main_window.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QKeyEvent>
#include <QLayout>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QWindow>

#include "app/captions/caption_text.h"
#include "app/how_to_play_place.h"
#include "app/key_translation.h"
#include "match/keys.h"
#include "match/resets.h"
#include "match/tick.h"

namespace kavarin {

TForm1::TForm1(CuePlayer& cues, QWidget* parent)
    : QMainWindow(parent),
      cues_(cues),
      field_(new FieldView(sim_.field, this)),
      zoom_(*this, *field_),
      timers_([this] { Tick(); }),
      match_(sim_, *this) {
  setObjectName("Form1");
  setWindowTitle("Kavarin");
  // A single fixed border: close and minimise, never maximise or resize.
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                 Qt::WindowCloseButtonHint);
  setCentralWidget(field_);
  BuildMenu();
  layout()->setSizeConstraint(QLayout::SetFixedSize);
  zoom_.OpenFitting();
  // The size is settled before the window is placed: a window still being sized when it is
  // shown is placed by its client area, and its frame would stand a title bar higher.
  layout()->activate();
  move(28, 23);

  FormCreate(match_);
  qApp->installEventFilter(this);
}

TForm1::~TForm1() {
  if (qApp) qApp->removeEventFilter(this);
}

void TForm1::SetDialogs(QDialog* form2, QDialog* form3) {
  form2_ = form2;
  form3_ = form3;
}

void TForm1::BuildMenu() {
  QMenuBar* bar = menuBar();

  QMenu* kg1 = bar->addMenu(CaptionText(captions::GameMenu));
  kg1->setObjectName("KG1");
  QAction* ks1 = kg1->addAction(CaptionText(captions::StartCommand));
  ks1->setObjectName("KS1");
  ks1->setShortcut(Qt::Key_F2);
  connect(ks1, &QAction::triggered, this, &TForm1::KS1Click);
  // F2 also in fullscreen, where the menu bar is hidden.
  addAction(ks1);
  kg1->addSeparator()->setObjectName("N1");
  QAction* exit1 = kg1->addAction(CaptionText(captions::ExitCommand));
  exit1->setObjectName("Exit1");
  connect(exit1, &QAction::triggered, this, &TForm1::Exit1Click);

  QMenu* k1 = bar->addMenu(CaptionText(captions::HelpMenu));
  k1->setObjectName("K1");
  QAction* kp1 = k1->addAction(CaptionText(captions::HowToPlayCommand));
  kp1->setObjectName("KP1");
  connect(kp1, &QAction::triggered, this, &TForm1::KP1Click);
  k1->addSeparator()->setObjectName("N2");
  QAction* about1 = k1->addAction(CaptionText(captions::VersionCommand));
  about1->setObjectName("About1");
  connect(about1, &QAction::triggered, this, &TForm1::About1Click);
}

void TForm1::KS1Click() {
  if (sink_ != nullptr) {
    sink_->StartCommand();
    return;
  }
  Start(match_);
  field_->Flush();
}

void TForm1::GameKeyDown(int32_t code) {
  if (sink_ != nullptr) {
    sink_->KeyDown(code);
    return;
  }
  FormKeyDown(match_, code);
  field_->Flush();
}

void TForm1::GameKeyUp(int32_t code) {
  if (sink_ != nullptr)
    sink_->KeyUp(code);
  else
    FormKeyUp(match_, code);
}

void TForm1::Exit1Click() {
  close();
}

void TForm1::KP1Click() {
  if (!form3_) return;
  if (!form3_->isVisible()) {
    // Its frame is not known before it is first shown; the window manager gives it the main
    // window's.
    const QMargins frame = windowHandle() ? windowHandle()->frameMargins() : QMargins();
    const QSize dialogFrame =
        form3_->size() + QSize(frame.left() + frame.right(), frame.top() + frame.bottom());
    form3_->move(
        HowToPlayPlace(frameGeometry(), dialogFrame, screen()->availableGeometry(), zoom_.Zoom()));
  }
  form3_->show();
  form3_->raise();
  form3_->activateWindow();
}

void TForm1::About1Click() {
  // Modal: the main window takes no input meanwhile, but the timers keep the game going.
  if (form2_) form2_->exec();
}

void TForm1::Tick() {
  Timer2Timer(match_);
  field_->Flush();
}

void TForm1::PolylineDrawn(Color, std::span<const Point> points) {
  field_->Changed(points);
}

void TForm1::FieldCleared() {
  field_->Changed();
}

void TForm1::CuePlayed(std::string_view name) {
  cues_.PlayCue(name);
}

void TForm1::IntervalSet(TimerId timer, int32_t interval) {
  timers_.SetInterval(timer, interval);
}

void TForm1::WindowColorSet(Color color) {
  field_->SetBackgroundColor(color);
}

void TForm1::ClientSizeSet(int32_t width, int32_t height) {
  field_->SetClientSize(width, height);
}

void TForm1::ControllerKey(bool down, int32_t code) {
  // Controllers fly the ships while the game is in front: this window, or How to play, which
  // takes no controller input of its own. A modal box blocks them as it blocks keys.
  const bool front = isActiveWindow() || (form3_ && form3_->isActiveWindow());
  if (!front || QApplication::activeModalWidget() != nullptr) return;
  if (down)
    GameKeyDown(code);
  else
    GameKeyUp(code);
}

bool TForm1::OwnsKeyEvent(QObject* watched) const {
  if (!watched->isWidgetType()) return false;
  const QWidget* target = static_cast<QWidget*>(watched);
  return target->window() == this && isActiveWindow();
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
  const QEvent::Type type = event->type();
  if (type != QEvent::KeyPress && type != QEvent::KeyRelease) return false;
  if (!OwnsKeyEvent(watched)) return false;
  const auto& key = static_cast<const QKeyEvent&>(*event);
  if (zoom_.HandleKey(key)) return true;
  const int32_t code = VirtualKeyOf(key);
  if (code == 0) return false;
  if (type == QEvent::KeyPress) {
    // Held keys repeat their key-downs: holding fire fires again.
    GameKeyDown(code);
  } else if (!key.isAutoRepeat()) {
    // The releases that come between repeats are not the key being let go.
    GameKeyUp(code);
  }
  return true;
}

}  // namespace kavarin

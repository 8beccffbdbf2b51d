#include "app/window_zoom.h"

#include <QKeyEvent>
#include <QLayout>
#include <QMainWindow>
#include <QMenuBar>
#include <QScreen>
#include <QStyle>
#include <QWindow>
#include <algorithm>

#include "app/view_keys.h"
#include "app/zoom_fit.h"

namespace kavarin {

WindowZoom::WindowZoom(QMainWindow& window, FieldView& view) : window_(window), view_(view) {
  window_.installEventFilter(this);
}

void WindowZoom::OpenFitting() {
  const QSize room = window_.screen()->availableGeometry().size();
  windowedZoom_ = LargestFittingZoom(QSize(room.width(), room.height() * 2 / 3), Chrome(), Ratio());
  if (!fullScreen_) view_.SetZoom(windowedZoom_);
}

bool WindowZoom::HandleKey(const QKeyEvent& event) {
  const ViewKey key = ViewKeyOf(event);
  if (key == ViewKey::None) return false;
  if (event.type() != QEvent::KeyPress || event.isAutoRepeat()) return true;
  switch (key) {
    case ViewKey::ZoomIn:
      ZoomIn();
      break;
    case ViewKey::ZoomOut:
      ZoomOut();
      break;
    case ViewKey::ToggleFullScreen:
      SetFullScreen(!fullScreen_);
      break;
    case ViewKey::LeaveFullScreen:
      SetFullScreen(false);
      break;
    case ViewKey::None:
      break;
  }
  return true;
}

int WindowZoom::SmallestZoom() const {
  return kavarin::SmallestZoom(Ratio());
}

int WindowZoom::LargestZoom() const {
  return LargestFittingZoom(window_.screen()->availableGeometry().size(), Chrome(), Ratio());
}

bool WindowZoom::SetZoom(int zoom) {
  if (fullScreen_ || zoom < SmallestZoom() || zoom > LargestZoom()) return false;
  windowedZoom_ = zoom;
  view_.SetZoom(zoom);
  return true;
}

void WindowZoom::SetFullScreen(bool on) {
  if (on == fullScreen_) return;
  fullScreen_ = on;
  if (on) {
    normalAt_ = window_.geometry().topLeft();
    // A window of fixed size is refused fullscreen by some window managers.
    window_.layout()->setSizeConstraint(QLayout::SetNoConstraint);
    window_.setMinimumSize(0, 0);
    window_.setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    window_.menuBar()->hide();
    view_.SetFill(true);
    view_.SetZoom(FullScreenZoom(window_.screen()->geometry().size(), Ratio()));
    window_.showFullScreen();
  } else {
    window_.showNormal();
    window_.menuBar()->show();
    view_.SetFill(false);
    view_.SetZoom(windowedZoom_);
    window_.layout()->setSizeConstraint(QLayout::SetFixedSize);
    window_.layout()->activate();
    // Where it stood: the window manager may not put it back.
    window_.setGeometry(QRect(normalAt_, window_.size()));
  }
}

qreal WindowZoom::Ratio() const {
  return window_.screen()->devicePixelRatio();
}

QSize WindowZoom::Chrome() const {
  // Before the window is first shown its frame is not known: a title bar is a fair guess.
  QMargins frame(0, window_.style()->pixelMetric(QStyle::PM_TitleBarHeight), 0, 0);
  if (window_.isVisible() && window_.windowHandle()) frame = window_.windowHandle()->frameMargins();
  return {frame.left() + frame.right(),
          frame.top() + frame.bottom() + window_.menuBar()->sizeHint().height()};
}

void WindowZoom::Refit() {
  if (fullScreen_) {
    view_.SetZoom(FullScreenZoom(window_.screen()->geometry().size(), Ratio()));
  } else {
    windowedZoom_ = std::clamp(windowedZoom_, SmallestZoom(), LargestZoom());
    view_.SetZoom(windowedZoom_);
  }
}

bool WindowZoom::eventFilter(QObject* watched, QEvent* event) {
  if (watched == &window_ && event->type() == QEvent::Show && !watchingScreen_ &&
      window_.windowHandle()) {
    watchingScreen_ = true;
    connect(window_.windowHandle(), &QWindow::screenChanged, this, [this] { Refit(); });
  }
  return false;
}

}  // namespace kavarin

#pragma once

#include <QObject>
#include <QPoint>

#include "app/field_view.h"

class QKeyEvent;
class QMainWindow;

namespace kavarin {

// How large the main window shows the field: a whole number of device pixels per field pixel,
// as large as fits, and fullscreen on request. The zoom and fullscreen keys end here and never
// reach the game.
class WindowZoom : public QObject {
 public:
  WindowZoom(QMainWindow& window, FieldView& view);

  // The largest zoom whose window fits in about two thirds of the screen's available height.
  void OpenFitting();

  // Acts on a zoom or fullscreen key; true when the event was one and must go no further. Held
  // keys act once.
  bool HandleKey(const QKeyEvent& event);

  // Device pixels per field pixel, as shown now.
  int Zoom() const { return view_.Zoom(); }
  // The window's zoom, one step at a time within what fits on the screen; ignored in fullscreen.
  bool SetZoom(int zoom);
  void ZoomIn() { SetZoom(windowedZoom_ + 1); }
  void ZoomOut() { SetZoom(windowedZoom_ - 1); }
  int SmallestZoom() const;
  int LargestZoom() const;

  // The field as large as fits, centred on black, without the menu bar.
  void SetFullScreen(bool on);
  bool FullScreen() const { return fullScreen_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  qreal Ratio() const;
  // Frame and menu bar around the field, in logical pixels.
  QSize Chrome() const;
  // Keeps the zoom whole in device pixels and fitting when the window moves to another screen.
  void Refit();

  QMainWindow& window_;
  FieldView& view_;
  int windowedZoom_ = 1;
  bool fullScreen_ = false;
  // The client area's top-left corner before fullscreen.
  QPoint normalAt_;
  bool watchingScreen_ = false;
};

}  // namespace kavarin

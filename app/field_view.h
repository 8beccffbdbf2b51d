#pragma once

#include <QImage>
#include <QWidget>
#include <memory>
#include <span>

#include "app/dirty_rects.h"
#include "app/x11_field_painter.h"
#include "render/field.h"

class QPainter;
class QRegion;

namespace kavarin {

// The play field on screen. It shows the pixels of the simulation's field, which the game draws
// into; because the widget paints from those pixels, the picture (the scoreboard too) survives
// the window being covered, minimised and restored.
//
// Each field pixel is shown as a square of `Zoom()` device pixels, never smoothed. Only what was
// drawn since the last repaint is repainted.
class FieldView : public QWidget {
  Q_OBJECT

 public:
  explicit FieldView(const Field& field, QWidget* parent = nullptr);
  ~FieldView() override;

  // The window colour behind the field, and the client size Start puts back, in field pixels:
  // the field at the current zoom.
  void SetBackgroundColor(Color color);
  void SetClientSize(int32_t width, int32_t height);

  // Device pixels per field pixel.
  void SetZoom(int zoom);
  int Zoom() const { return zoom_; }
  // Takes whatever size it is given and shows the field centred on the window colour, as in
  // fullscreen; otherwise it keeps to the client size.
  void SetFill(bool fill);

  // A polyline was drawn through these points; Flush shows it.
  void Changed(std::span<const Point> points);
  // The whole field changed.
  void Changed();
  // Shows what was drawn since the last Flush: on X11 at once, elsewhere by a repaint.
  void Flush();
  // Whether Flush may put the pixels straight into the view's X window; on by default.
  void SetDirectX11(bool on) { directX11_ = on; }

  const Field& Pixels() const { return *field_; }
  // Shows another field from now on (online play shows the session's newest frame).
  void SetField(const Field& field);

 protected:
  void paintEvent(QPaintEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  X11FieldPainter* DirectX11();
  void Resize();
  qreal Ratio() const;
  // Logical pixels per field pixel.
  qreal Scale() const;
  // Where the field's top-left corner is shown, always on a whole device pixel.
  QPointF FieldOrigin() const;
  // The logical rectangle that shows these field pixels.
  QRect ShownRect(const QRect& fieldRect) const;
  // The field pixels that a logical rectangle shows, whole or in part.
  QRect PixelsIn(const QRect& shown) const;
  // The fullscreen field's edge, within `region`.
  void PaintEdge(QPainter& painter, const QRegion& region);
  // Brings the shown copy up to date with the field within `fieldRect`.
  void Refresh(const QRect& fieldRect);

  const Field* field_;
  // The field in the screen's pixel format, brought up to date only where it is repainted.
  QImage shown_;
  DirtyRects dirty_;
  int zoom_ = 1;
  QSize client_{FieldWidth, FieldHeight};
  bool fill_ = false;
  bool directX11_ = true;
  bool triedX11_ = false;
  std::unique_ptr<X11FieldPainter> x11_;
};

}  // namespace kavarin

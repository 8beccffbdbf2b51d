#pragma once

#include <QPoint>
#include <QRect>
#include <cstdint>
#include <memory>
#include <vector>

#include "render/field.h"

class QWidget;
struct xcb_connection_t;

namespace kavarin {

// Puts the field's changed pixels straight into the view's own X window, one request a
// rectangle: from a shared-memory picture of the zoomed field where the server offers it, so
// that a request carries no pixels, otherwise with the pixels in the request. Qt's repaint of a
// changed rectangle costs more than the game's whole tick: a posted event, a paint pass, a round
// trip to the X server before the shared image may be painted again, and the wake-ups of both
// threads. Used only where the window is a plain 24-bit true-colour one at a device pixel ratio of
// 1, on X11; elsewhere Create gives nothing and the view repaints through Qt. Exposed and resized
// parts are always repainted through Qt.
class X11FieldPainter {
 public:
  // Makes `view` a native window; nullptr when it cannot be painted this way.
  static std::unique_ptr<X11FieldPainter> Create(QWidget& view);
  ~X11FieldPainter();

  // The field pixels within `pixels`, each a square of `zoom` device pixels, with the field's
  // top-left corner at `origin` in the view's device pixels.
  void Put(const Field& field, const QRect& pixels, int zoom, QPoint origin);
  // Sends what was put.
  void Send();

 private:
  X11FieldPainter(QWidget& view, xcb_connection_t* connection, uint8_t depth, bool shared);
  // The shared picture for `zoom`, or nullptr when the server cannot share one.
  uint32_t* SharedPicture(int zoom);
  void ReleaseShared();
  void PutShared(const Field& field, const QRect& pixels, int zoom, QPoint origin);
  void PutInRequests(const Field& field, const QRect& pixels, int zoom, QPoint origin);

  QWidget& view_;
  xcb_connection_t* connection_;
  uint32_t gc_;
  uint8_t depth_;
  size_t mostBytes_;
  std::vector<uint32_t> rows_;
  // The zoomed field in memory the X server shares, at sharedZoom_: only the rectangles just
  // put are up to date, and only they are ever copied.
  bool shared_;
  int sharedZoom_ = 0;
  uint32_t segment_ = 0;
  uint32_t* picture_ = nullptr;
};

}  // namespace kavarin

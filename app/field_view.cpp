#include "app/field_view.h"

#include <QPaintEvent>
#include <QPainter>
#include <QWindow>
#include <algorithm>
#include <cmath>

#include "app/zoom_fit.h"

namespace kavarin {
namespace {

const QRect WholeField(0, 0, FieldWidth, FieldHeight);
// In fullscreen a line of this grey just outside the field shows where it ends on the black.
const QColor EdgeColor(0x40, 0x40, 0x40);

// A device position may arrive as 28.999999; anything that close is on the pixel.
qreal NextWholePixel(qreal at) {
  return std::ceil(at - 1e-6);
}

}  // namespace

FieldView::FieldView(const Field& field, QWidget* parent)
    : QWidget(parent), field_(&field), shown_(FieldWidth, FieldHeight, QImage::Format_RGB32) {
  setObjectName("Field");
  // Every paint covers the whole widget: the field's pixels and the window colour around them.
  setAttribute(Qt::WA_OpaquePaintEvent);
  setFocusPolicy(Qt::StrongFocus);
  SetBackgroundColor(Color::Black);
  Resize();
}

FieldView::~FieldView() = default;

void FieldView::SetField(const Field& field) {
  field_ = &field;
  Changed();
}

void FieldView::SetBackgroundColor(Color color) {
  QPalette p = palette();
  p.setColor(QPalette::Window, QColor::fromRgb(static_cast<QRgb>(color)));
  setPalette(p);
  setAutoFillBackground(false);
  update();
}

void FieldView::SetClientSize(int32_t width, int32_t height) {
  client_ = QSize(width, height);
  Resize();
}

void FieldView::SetZoom(int zoom) {
  zoom_ = std::max(1, zoom);
  Resize();
  update();
}

void FieldView::SetFill(bool fill) {
  fill_ = fill;
  Resize();
  update();
}

void FieldView::Resize() {
  if (!fill_) {
    setFixedSize(ShownSize(client_, zoom_, Ratio()));
    return;
  }
  setMinimumSize(0, 0);
  setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
}

void FieldView::Changed(std::span<const Point> points) {
  // Off-field points are clipped when drawn; far ones must not overflow the rectangle.
  const auto clamp = [](Point p) {
    return QPoint(std::clamp(p.x, -1, FieldWidth), std::clamp(p.y, -1, FieldHeight));
  };
  // A rectangle around each line rather than the whole polyline: the star's outline is a ring.
  for (size_t i = 0; i < points.size(); ++i) {
    const QPoint from = clamp(points[i]);
    const QPoint to = clamp(points[std::min(i + 1, points.size() - 1)]);
    dirty_.Add(QRect(QPoint(std::min(from.x(), to.x()), std::min(from.y(), to.y())),
                     QPoint(std::max(from.x(), to.x()), std::max(from.y(), to.y()))) &
               WholeField);
    if (i + 2 == points.size()) break;
  }
}

void FieldView::Changed() {
  dirty_.Add(WholeField);
}

X11FieldPainter* FieldView::DirectX11() {
  if (!directX11_ || !isVisible()) return nullptr;
  if (!triedX11_) {
    triedX11_ = true;
    x11_ = X11FieldPainter::Create(*this);
    if (x11_) windowHandle()->installEventFilter(this);
  }
  return x11_ && devicePixelRatioF() == 1.0 ? x11_.get() : nullptr;
}

void FieldView::Flush() {
  if (dirty_.Empty()) return;
  X11FieldPainter* x11 = DirectX11();
  const QPoint origin = FieldOrigin().toPoint();
  for (const QRect& r : dirty_.Take()) {
    if (x11) {
      x11->Put(*field_, r, zoom_, origin);
    } else {
      update(ShownRect(r));
    }
  }
  if (x11) x11->Send();
}

bool FieldView::eventFilter(QObject* watched, QEvent* event) {
  // Qt shows an exposed part from its own copy of the window, which the pixels put straight
  // into the window have passed by: repaint it from the field instead.
  if (event->type() == QEvent::Expose && watched == windowHandle()) update();
  return false;
}

qreal FieldView::Ratio() const {
  return devicePixelRatioF();
}

qreal FieldView::Scale() const {
  return zoom_ / Ratio();
}

QPointF FieldView::FieldOrigin() const {
  const qreal ratio = Ratio();
  // Centred in whole device pixels when the widget is larger than the field.
  QPointF centred;
  if (fill_) {
    const auto margin = [&](int size, int field) {
      return std::max(0.0, std::floor((size * ratio - field * zoom_) / 2));
    };
    centred = {margin(width(), FieldWidth), margin(height(), FieldHeight)};
  }
  // At a fractional ratio the widget itself may start between two device pixels.
  const QPointF at = QPointF(mapTo(window(), QPoint(0, 0))) * ratio;
  const QPointF onPixel(NextWholePixel(at.x()) - at.x(), NextWholePixel(at.y()) - at.y());
  return (centred + onPixel) / ratio;
}

QRect FieldView::ShownRect(const QRect& fieldRect) const {
  const qreal scale = Scale();
  const QPointF origin = FieldOrigin();
  return QRectF(origin.x() + fieldRect.x() * scale, origin.y() + fieldRect.y() * scale,
                fieldRect.width() * scale, fieldRect.height() * scale)
      .toAlignedRect();
}

void FieldView::Refresh(const QRect& fieldRect) {
  const uint8_t* pixels = field_->Pixels();
  for (int y = fieldRect.top(); y <= fieldRect.bottom(); ++y) {
    const uint8_t* from = pixels + y * FieldWidth;
    auto* to = reinterpret_cast<QRgb*>(shown_.scanLine(y));
    for (int x = fieldRect.left(); x <= fieldRect.right(); ++x)
      to[x] = 0xFF000000u | from[x] * 0x010101u;
  }
}

QRect FieldView::PixelsIn(const QRect& shown) const {
  const qreal scale = Scale();
  const QPointF origin = FieldOrigin();
  const auto first = [&](int at, qreal from) {
    return static_cast<int>(std::floor((at - from) / scale));
  };
  const auto last = [&](int end, qreal from) {
    return static_cast<int>(std::ceil((end - from) / scale)) - 1;
  };
  return QRect(QPoint(first(shown.left(), origin.x()), first(shown.top(), origin.y())),
               QPoint(last(shown.right() + 1, origin.x()), last(shown.bottom() + 1, origin.y()))) &
         WholeField;
}

void FieldView::paintEvent(QPaintEvent* event) {
  const qreal scale = Scale();
  const QPointF origin = FieldOrigin();
  const QRectF field(origin, QSizeF(FieldWidth * scale, FieldHeight * scale));
  QPainter painter(this);
  // Nearest neighbour: each field pixel becomes a crisp square.
  painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
  for (const QRect& r : event->region()) {
    // One rectangle's clip keeps the raster engine on its plain scaling loop; with the
    // region's several rectangles it blends span by span on a thread pool, waking threads
    // for a few pixels.
    painter.setClipRect(r);
    if (!field.contains(QRectF(r))) painter.fillRect(r, palette().window());
    const QRect pixels = PixelsIn(r);
    if (pixels.isEmpty()) continue;
    Refresh(pixels);
    painter.drawImage(QRectF(origin.x() + pixels.x() * scale, origin.y() + pixels.y() * scale,
                             pixels.width() * scale, pixels.height() * scale),
                      shown_, pixels);
  }
  if (fill_) PaintEdge(painter, event->region());
}

void FieldView::PaintEdge(QPainter& painter, const QRegion& region) {
  // In device pixels: the line is one of them wide at any ratio, and the field starts on one.
  const qreal ratio = Ratio();
  const QPoint origin = (FieldOrigin() * ratio).toPoint();
  const QRect field(origin, QSize(FieldWidth * zoom_, FieldHeight * zoom_));
  const QRect edge = field.adjusted(-1, -1, 1, 1);
  painter.setClipRegion(region);
  painter.scale(1 / ratio, 1 / ratio);
  for (const QRect& side : {QRect(edge.topLeft(), QSize(edge.width(), 1)),
                            QRect(edge.bottomLeft(), QSize(edge.width(), 1)),
                            QRect(edge.topLeft(), QSize(1, edge.height())),
                            QRect(edge.topRight(), QSize(1, edge.height()))})
    painter.fillRect(side, EdgeColor);
}

}  // namespace kavarin

#include "app/field_view.h"

#include <QImage>
#include <QPainter>

namespace kavarin {

FieldView::FieldView(const Field& field, QWidget* parent) : QWidget(parent), field_(field) {
  setObjectName("Field");
  setFixedSize(FieldWidth, FieldHeight);
  // Every paint covers the whole widget with the field's pixels.
  setAttribute(Qt::WA_OpaquePaintEvent);
  setFocusPolicy(Qt::StrongFocus);
  SetBackgroundColor(Color::Black);
}

void FieldView::SetBackgroundColor(Color color) {
  QPalette p = palette();
  p.setColor(QPalette::Window, QColor::fromRgb(static_cast<QRgb>(color)));
  setPalette(p);
  setAutoFillBackground(false);
}

void FieldView::SetClientSize(int32_t width, int32_t height) {
  setFixedSize(width, height);
}

void FieldView::Flush() {
  if (!dirty_) return;
  dirty_ = false;
  update();
}

void FieldView::paintEvent(QPaintEvent*) {
  const QImage image(field_.Pixels(), FieldWidth, FieldHeight, FieldWidth,
                     QImage::Format_Grayscale8);
  QPainter painter(this);
  // At a device pixel ratio of 2 or 3 each field pixel becomes a crisp square.
  painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
  painter.drawImage(QRect(0, 0, FieldWidth, FieldHeight), image);
}

}  // namespace kavarin

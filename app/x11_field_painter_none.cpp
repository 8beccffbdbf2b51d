#include "app/x11_field_painter.h"

// Built without the X11 client library: the view always repaints through Qt.

namespace kavarin {

std::unique_ptr<X11FieldPainter> X11FieldPainter::Create(QWidget&) {
  return nullptr;
}

X11FieldPainter::~X11FieldPainter() = default;

void X11FieldPainter::Put(const Field&, const QRect&, int, QPoint) {}

void X11FieldPainter::Send() {}

}  // namespace kavarin

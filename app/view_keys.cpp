#include "app/view_keys.h"

#include <QKeyEvent>

namespace kavarin {

ViewKey ViewKeyOf(const QKeyEvent& event) {
  // Shift may be needed to type "+" or "=", and the keypad's keys count as well.
  const Qt::KeyboardModifiers mods = event.modifiers() & ~(Qt::ShiftModifier | Qt::KeypadModifier);
  switch (event.key()) {
    case Qt::Key_Equal:
    case Qt::Key_Plus:
      return mods == Qt::ControlModifier ? ViewKey::ZoomIn : ViewKey::None;
    case Qt::Key_Minus:
      return mods == Qt::ControlModifier ? ViewKey::ZoomOut : ViewKey::None;
    case Qt::Key_F11:
      return mods == Qt::NoModifier ? ViewKey::ToggleFullScreen : ViewKey::None;
    case Qt::Key_Return:
    case Qt::Key_Enter:
      return mods == Qt::AltModifier ? ViewKey::ToggleFullScreen : ViewKey::None;
    case Qt::Key_Escape:
      return mods == Qt::NoModifier ? ViewKey::LeaveFullScreen : ViewKey::None;
    default:
      return ViewKey::None;
  }
}

}  // namespace kavarin

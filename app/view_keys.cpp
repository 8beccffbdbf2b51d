#include "app/view_keys.h"

#include <QKeyEvent>

namespace kavarin {
namespace {

NamedKey NamedKeyOf(int key) {
  switch (key) {
    case Qt::Key_Equal:
      return NamedKey::Equal;
    case Qt::Key_Plus:
      return NamedKey::Plus;
    case Qt::Key_Minus:
      return NamedKey::Minus;
    case Qt::Key_F11:
      return NamedKey::F11;
    case Qt::Key_Return:
    case Qt::Key_Enter:
      return NamedKey::Enter;
    case Qt::Key_Escape:
      return NamedKey::Escape;
    default:
      return NamedKey::Other;
  }
}

}  // namespace

ViewKey ViewKeyOf(const QKeyEvent& event) {
  // The keypad's keys count as well.
  const Qt::KeyboardModifiers mods = event.modifiers() & ~(Qt::ShiftModifier | Qt::KeypadModifier);
  uint8_t held = NoViewModifier;
  if (mods & Qt::ControlModifier) held |= ControlHeld;
  if (mods & Qt::AltModifier) held |= AltHeld;
  if (mods & ~(Qt::ControlModifier | Qt::AltModifier)) held |= OtherHeld;
  return ViewKeyOf(NamedKeyOf(event.key()), held);
}

}  // namespace kavarin

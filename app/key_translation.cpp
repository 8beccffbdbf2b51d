#include "app/key_translation.h"

#include <QKeyEvent>

#include "match/keys.h"

namespace kavarin {

int32_t VirtualKeyOf(const QKeyEvent& event) {
  if (event.modifiers().testFlag(Qt::KeypadModifier)) return 0;
  switch (event.key()) {
    case Qt::Key_A:
      return VkA;
    case Qt::Key_Q:
      return VkQ;
    case Qt::Key_S:
      return VkS;
    case Qt::Key_X:
      return VkX;
    case Qt::Key_Space:
      return VkSpace;
    case Qt::Key_BracketRight:
    case Qt::Key_BraceRight:
      return VkOem6;
    case Qt::Key_BracketLeft:
    case Qt::Key_BraceLeft:
      return VkOem4;
    case Qt::Key_Slash:
    case Qt::Key_Question:
      return VkOem2;
    case Qt::Key_Semicolon:
    case Qt::Key_Colon:
      return VkOem1;
    case Qt::Key_Asterisk:
      // Shift+":" on a JIS keyboard; anywhere else "*" is not a game key.
      return event.nativeScanCode() == JisColonScanCode ? VkOem1 : 0;
    default:
      return 0;
  }
}

}  // namespace kavarin

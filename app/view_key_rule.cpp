#include "app/view_key_rule.h"

namespace kavarin {

ViewKey ViewKeyOf(NamedKey key, uint8_t modifiers) {
  switch (key) {
    case NamedKey::Equal:
    case NamedKey::Plus:
      return modifiers == ControlHeld ? ViewKey::ZoomIn : ViewKey::None;
    case NamedKey::Minus:
      return modifiers == ControlHeld ? ViewKey::ZoomOut : ViewKey::None;
    case NamedKey::F11:
      return modifiers == NoViewModifier ? ViewKey::ToggleFullScreen : ViewKey::None;
    case NamedKey::Enter:
      return modifiers == AltHeld ? ViewKey::ToggleFullScreen : ViewKey::None;
    case NamedKey::Escape:
      return modifiers == NoViewModifier ? ViewKey::LeaveFullScreen : ViewKey::None;
    default:
      return ViewKey::None;
  }
}

}  // namespace kavarin

#pragma once

#include <cstdint>

namespace kavarin {

// The keys that change how the field is shown. None of them is a game key.
enum class ViewKey {
  None,
  ZoomIn,            // Ctrl+= and Ctrl++
  ZoomOut,           // Ctrl+-
  ToggleFullScreen,  // F11 and Alt+Enter
  LeaveFullScreen,   // Esc
};

// The keys the rule looks at, whatever the platform calls them.
enum class NamedKey { Other, Equal, Plus, Minus, F11, Enter, Escape };

// The modifiers held, Shift left out: it may be needed to type "+" or "=".
enum ViewModifier : uint8_t { NoViewModifier = 0, ControlHeld = 1, AltHeld = 2, OtherHeld = 4 };

// Only these exact combinations: Ctrl with any other key (Ctrl+S, Ctrl+Q) stays a game key.
ViewKey ViewKeyOf(NamedKey key, uint8_t modifiers);

}  // namespace kavarin

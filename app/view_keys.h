#pragma once

class QKeyEvent;

namespace kavarin {

// The keys that change how the field is shown. None of them is a game key.
enum class ViewKey {
  None,
  ZoomIn,            // Ctrl+= and Ctrl++
  ZoomOut,           // Ctrl+-
  ToggleFullScreen,  // F11 and Alt+Enter
  LeaveFullScreen,   // Esc
};

// Only these exact combinations: Ctrl with any other key (Ctrl+S, Ctrl+Q) stays a game key.
ViewKey ViewKeyOf(const QKeyEvent& event);

}  // namespace kavarin

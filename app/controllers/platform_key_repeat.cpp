#include "app/controllers/platform_key_repeat.h"

#include <QGuiApplication>
#include <QStyleHints>
#include <chrono>

// Xlib's macros (None, Bool, KeyPress...) come last, after every Qt header.
#include <X11/XKBlib.h>
#include <X11/Xlib.h>

namespace kavarin {

KeyRepeat PlatformKeyRepeat() {
  using std::chrono::milliseconds;
  using std::chrono::seconds;
  if (auto* x11 =
          qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr) {
    Display* display = x11->display();
    XKeyboardState keyboard{};
    unsigned delay = 0;
    unsigned interval = 0;
    if (display != nullptr && XGetKeyboardControl(display, &keyboard) != 0 &&
        XkbGetAutoRepeatRate(display, XkbUseCoreKbd, &delay, &interval)) {
      if (keyboard.global_auto_repeat == AutoRepeatModeOff) interval = 0;
      return {milliseconds(delay), milliseconds(interval)};
    }
  }
  const int rate = QGuiApplication::styleHints()->keyboardAutoRepeatRate();
  return {milliseconds(500),
          rate > 0 ? std::chrono::nanoseconds(seconds(1)) / rate : std::chrono::nanoseconds(0)};
}

}  // namespace kavarin

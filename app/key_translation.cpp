#include "app/key_translation.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QPointer>

#include "app/x11_layout_watch.h"
#include "match/keys.h"

namespace kavarin {
namespace {

int32_t ByCharacter(const QKeyEvent& event) {
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

int32_t ByUsPlace(const QKeyEvent& event, quint32 scanCode) {
  const int32_t placed = UsPlaceKeys()[scanCode];
  const bool rightPlayers =
      placed == VkOem1 || placed == VkOem2 || placed == VkOem4 || placed == VkOem6;
  const bool latinLetter = event.key() >= Qt::Key_A && event.key() <= Qt::Key_Z;
  if (rightPlayers || !latinLetter) return placed;
  return ByCharacter(event);
}

}  // namespace

KeySource ApplicationKeySource() {
  static QPointer<QObject> application;
  static QPointer<X11LayoutWatch> watch;
  static bool xKeyCodes = false;
  if (!application) {
    application = QCoreApplication::instance();
    if (!application) return {};
    if (std::unique_ptr<X11LayoutWatch> started = X11LayoutWatch::Start()) {
      started->setParent(application);
      watch = started.release();
    }
    const QString platform = QGuiApplication::platformName();
    xKeyCodes = watch || platform == "xcb" || platform.startsWith("wayland");
  }
  return {.keymap = watch ? &watch->Keys() : nullptr, .xKeyCodes = xKeyCodes};
}

int32_t VirtualKeyOf(const QKeyEvent& event, const KeySource& source) {
  if (event.modifiers().testFlag(Qt::KeypadModifier)) return 0;
  const quint32 scanCode = event.nativeScanCode();
  if (!source.xKeyCodes || scanCode == 0 || scanCode >= 256) return ByCharacter(event);
  // An X key event's state names the layout that was active for it in bits 13 and 14.
  if (source.keymap) return (*source.keymap)[(event.nativeModifiers() >> 13) & 3][scanCode];
  return ByUsPlace(event, scanCode);
}

int32_t VirtualKeyOf(const QKeyEvent& event) {
  return VirtualKeyOf(event, ApplicationKeySource());
}

}  // namespace kavarin

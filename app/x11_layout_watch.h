#pragma once

#include <QAbstractNativeEventFilter>
#include <QObject>
#include <memory>

#include "app/layout_keys.h"

struct xcb_connection_t;
struct xkb_context;

namespace kavarin {

// Keeps the game keys of the X server's keymap up to date while the program runs: it reads the
// keymap at the start and again whenever the server reports a new one (setxkbmap), so a key
// event costs nothing but a look-up in Keys().
class X11LayoutWatch final : public QObject, public QAbstractNativeEventFilter {
 public:
  // Starts watching the keyboard of the X server that this application is shown on; null
  // when it is not shown on one, or the server has no XKB.
  static std::unique_ptr<X11LayoutWatch> Start();
  ~X11LayoutWatch() override;

  const KeymapKeys& Keys() const { return keys_; }

  bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

 private:
  X11LayoutWatch(xcb_connection_t* connection, int32_t device, uint8_t eventBase);
  bool LoadKeymap();

  xcb_connection_t* connection_;
  int32_t device_;
  uint8_t eventBase_;
  std::unique_ptr<xkb_context, void (*)(xkb_context*)> context_;
  bool loaded_ = false;
  KeymapKeys keys_;
};

}  // namespace kavarin

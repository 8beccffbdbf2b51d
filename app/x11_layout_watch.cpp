#include "app/x11_layout_watch.h"

#include <xcb/xcb.h>
// The XKB header names a field "explicit", which C++ reserves.
#define explicit explicit_
#include <xcb/xkb.h>
#undef explicit
#include <xkbcommon/xkbcommon-x11.h>
#include <xkbcommon/xkbcommon.h>

#include <QCoreApplication>
#include <QGuiApplication>

namespace kavarin {
namespace {

// Every XKB event starts like this; xkbType tells which one it is.
struct XkbEventHead {
  uint8_t responseType;
  uint8_t xkbType;
  uint16_t sequence;
  xcb_timestamp_t time;
  uint8_t deviceId;
};

// A new keymap comes as one of these two. A switch of layout needs no event: every key event
// says which layout was active for it.
constexpr uint16_t WatchedEvents =
    XCB_XKB_EVENT_TYPE_NEW_KEYBOARD_NOTIFY | XCB_XKB_EVENT_TYPE_MAP_NOTIFY;
constexpr uint16_t WatchedMapParts =
    XCB_XKB_MAP_PART_KEY_TYPES | XCB_XKB_MAP_PART_KEY_SYMS | XCB_XKB_MAP_PART_MODIFIER_MAP |
    XCB_XKB_MAP_PART_EXPLICIT_COMPONENTS | XCB_XKB_MAP_PART_KEY_ACTIONS |
    XCB_XKB_MAP_PART_KEY_BEHAVIORS | XCB_XKB_MAP_PART_VIRTUAL_MODS |
    XCB_XKB_MAP_PART_VIRTUAL_MOD_MAP;

}  // namespace

std::unique_ptr<X11LayoutWatch> X11LayoutWatch::Start() {
  auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
  xcb_connection_t* connection = x11 ? x11->connection() : nullptr;
  if (!connection) return nullptr;
  uint8_t eventBase = 0;
  if (!xkb_x11_setup_xkb_extension(
          connection, XKB_X11_MIN_MAJOR_XKB_VERSION, XKB_X11_MIN_MINOR_XKB_VERSION,
          XKB_X11_SETUP_XKB_EXTENSION_NO_FLAGS, nullptr, nullptr, &eventBase, nullptr)) {
    return nullptr;
  }
  const int32_t device = xkb_x11_get_core_keyboard_device_id(connection);
  if (device == -1) return nullptr;
  std::unique_ptr<X11LayoutWatch> watch(new X11LayoutWatch(connection, device, eventBase));
  if (!watch->loaded_) return nullptr;
  return watch;
}

X11LayoutWatch::X11LayoutWatch(xcb_connection_t* connection, int32_t device, uint8_t eventBase)
    : connection_(connection),
      device_(device),
      eventBase_(eventBase),
      context_(xkb_context_new(XKB_CONTEXT_NO_FLAGS), xkb_context_unref),
      keys_{UsPlaceKeys(), UsPlaceKeys(), UsPlaceKeys(), UsPlaceKeys()} {
  if (!context_) return;
  // Asked for before the keymap is read, so that no change can slip in between. The request
  // only adds to what this connection already hears of (the toolkit listens to the same).
  xcb_xkb_select_events(connection_, static_cast<xcb_xkb_device_spec_t>(device_), WatchedEvents, 0,
                        WatchedEvents, WatchedMapParts, WatchedMapParts, nullptr);
  if (!LoadKeymap()) return;
  loaded_ = true;
  QCoreApplication::instance()->installNativeEventFilter(this);
}

X11LayoutWatch::~X11LayoutWatch() = default;

bool X11LayoutWatch::LoadKeymap() {
  std::unique_ptr<xkb_keymap, void (*)(xkb_keymap*)> keymap(
      xkb_x11_keymap_new_from_device(context_.get(), connection_, device_,
                                     XKB_KEYMAP_COMPILE_NO_FLAGS),
      xkb_keymap_unref);
  if (!keymap) return false;  // a keymap that cannot be read leaves the keys as they were
  keys_ = KeymapKeysOf(keymap.get());
  return true;
}

bool X11LayoutWatch::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
  if (eventType != "xcb_generic_event_t") return false;
  const auto* event = static_cast<const xcb_generic_event_t*>(message);
  if ((event->response_type & 0x7f) != eventBase_) return false;
  const auto* head = reinterpret_cast<const XkbEventHead*>(event);
  if (head->deviceId != device_) return false;
  if (head->xkbType == XCB_XKB_NEW_KEYBOARD_NOTIFY || head->xkbType == XCB_XKB_MAP_NOTIFY) {
    LoadKeymap();
  }
  return false;  // the toolkit needs to see these too
}

}  // namespace kavarin

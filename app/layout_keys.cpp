#include "app/layout_keys.h"

#include <xkbcommon/xkbcommon.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "app/layout_rule.h"

namespace kavarin {
namespace {

// What a key types with no modifier in the layout that is active for it.
xkb_keysym_t Unshifted(xkb_state* state, xkb_keycode_t key) {
  const xkb_layout_index_t layout = xkb_state_key_get_layout(state, key);
  if (layout == XKB_LAYOUT_INVALID) return XKB_KEY_NoSymbol;
  const xkb_keysym_t* syms = nullptr;
  const int n =
      xkb_keymap_key_get_syms_by_level(xkb_state_get_keymap(state), key, layout, 0, &syms);
  return n == 1 ? syms[0] : XKB_KEY_NoSymbol;
}

LayoutKeys MakeUsPlaceKeys() {
  LayoutKeys keys{};
  for (const KeyPlace& place : UsPlaces())
    keys[place.x11KeyCode] = static_cast<uint8_t>(place.code);
  return keys;
}

// The keymap's keys as the shared rule sees them, then its answer put back by X key code.
LayoutKeys LayoutKeysOf(xkb_state* state) {
  xkb_keymap* keymap = xkb_state_get_keymap(state);
  const xkb_keycode_t first = xkb_keymap_min_keycode(keymap);
  const xkb_keycode_t last = std::min<xkb_keycode_t>(xkb_keymap_max_keycode(keymap), 255);
  std::vector<LayoutKey> layout;
  std::vector<xkb_keycode_t> keyCodes;
  for (xkb_keycode_t key = first; key <= last; ++key) {
    const char* name = xkb_keymap_key_get_name(keymap, key);
    if (name == nullptr) continue;
    layout.push_back({name, xkb_keysym_to_utf32(Unshifted(state, key))});
    keyCodes.push_back(key);
  }
  std::vector<uint8_t> codes(layout.size());
  GameCodesOf(layout, PlaceNames::Xkb, codes);
  LayoutKeys keys{};
  for (size_t i = 0; i < codes.size(); ++i) keys[keyCodes[i]] = codes[i];
  return keys;
}

}  // namespace

KeymapKeys KeymapKeysOf(xkb_keymap* keymap) {
  KeymapKeys keys{};
  std::unique_ptr<xkb_state, void (*)(xkb_state*)> state(xkb_state_new(keymap), xkb_state_unref);
  if (!state) return {UsPlaceKeys(), UsPlaceKeys(), UsPlaceKeys(), UsPlaceKeys()};
  for (size_t layout = 0; layout < keys.size(); ++layout) {
    xkb_state_update_mask(state.get(), 0, 0, 0, 0, 0, static_cast<xkb_layout_index_t>(layout));
    keys[layout] = LayoutKeysOf(state.get());
  }
  return keys;
}

const LayoutKeys& UsPlaceKeys() {
  static const LayoutKeys keys = MakeUsPlaceKeys();
  return keys;
}

}  // namespace kavarin

#include "app/layout_keys.h"

#include <xkbcommon/xkbcommon.h>

#include <algorithm>
#include <memory>

#include "match/keys.h"

namespace kavarin {
namespace {

struct Place {
  const char* name;  // the key's XKB name, which says where it sits on the keyboard
  uint8_t keyCode;   // its X key code with the usual (evdev) numbering
  int32_t code;
};

// Where the right player's keys sit on a US keyboard and on a JIS one.
constexpr Place UsRightPlaces[] = {
    {"AD12", 35, VkOem6}, {"AD11", 34, VkOem4}, {"AB10", 61, VkOem2}, {"AC10", 47, VkOem1}};
constexpr Place JisRightPlaces[] = {
    {"BKSL", 51, VkOem6}, {"AD12", 35, VkOem4}, {"AB10", 61, VkOem2}, {"AC11", 48, VkOem1}};

// The letters and Space, each at its place on a US keyboard.
struct Typed {
  xkb_keysym_t lower;
  xkb_keysym_t upper;
  Place usPlace;
};
constexpr Typed TypedKeys[] = {
    {XKB_KEY_a, XKB_KEY_A, {"AC01", 38, VkA}},
    {XKB_KEY_q, XKB_KEY_Q, {"AD01", 24, VkQ}},
    {XKB_KEY_x, XKB_KEY_X, {"AB02", 53, VkX}},
    {XKB_KEY_s, XKB_KEY_S, {"AC02", 39, VkS}},
    {XKB_KEY_space, XKB_KEY_space, {"SPCE", 65, VkSpace}},
};

// What a key types with no modifier in the layout that is active for it.
xkb_keysym_t Unshifted(xkb_state* state, xkb_keycode_t key) {
  const xkb_layout_index_t layout = xkb_state_key_get_layout(state, key);
  if (layout == XKB_LAYOUT_INVALID) return XKB_KEY_NoSymbol;
  const xkb_keysym_t* syms = nullptr;
  const int n =
      xkb_keymap_key_get_syms_by_level(xkb_state_get_keymap(state), key, layout, 0, &syms);
  return n == 1 ? syms[0] : XKB_KEY_NoSymbol;
}

xkb_keysym_t UnshiftedAt(xkb_state* state, const char* name) {
  const xkb_keycode_t key = xkb_keymap_key_by_name(xkb_state_get_keymap(state), name);
  return key == XKB_KEYCODE_INVALID ? XKB_KEY_NoSymbol : Unshifted(state, key);
}

// A JIS layout types : right of ; and ] where a US keyboard has \ (in kana: け and む).
bool IsJis(xkb_state* state) {
  const xkb_keysym_t colon = UnshiftedAt(state, "AC11");
  const xkb_keysym_t bracket = UnshiftedAt(state, "BKSL");
  return (colon == XKB_KEY_colon || colon == XKB_KEY_kana_KE) &&
         (bracket == XKB_KEY_bracketright || bracket == XKB_KEY_kana_MU);
}

// Puts `code` on the key at `place` unless that key already has a game code.
bool Claim(LayoutKeys& keys, xkb_keymap* keymap, const Place& place) {
  const xkb_keycode_t key = xkb_keymap_key_by_name(keymap, place.name);
  if (key >= keys.size() || keys[key] != 0) return false;
  keys[key] = static_cast<uint8_t>(place.code);
  return true;
}

LayoutKeys MakeUsPlaceKeys() {
  LayoutKeys keys{};
  for (const Place& place : UsRightPlaces) keys[place.keyCode] = static_cast<uint8_t>(place.code);
  for (const Typed& typed : TypedKeys) {
    keys[typed.usPlace.keyCode] = static_cast<uint8_t>(typed.usPlace.code);
  }
  return keys;
}

LayoutKeys LayoutKeysOf(xkb_state* state) {
  xkb_keymap* keymap = xkb_state_get_keymap(state);
  LayoutKeys keys{};
  for (const Place& place : IsJis(state) ? JisRightPlaces : UsRightPlaces) {
    Claim(keys, keymap, place);
  }
  const xkb_keycode_t last = std::min<xkb_keycode_t>(xkb_keymap_max_keycode(keymap), 255);
  for (const Typed& typed : TypedKeys) {
    bool found = false;
    for (xkb_keycode_t key = xkb_keymap_min_keycode(keymap); key <= last; ++key) {
      const xkb_keysym_t sym = Unshifted(state, key);
      if ((sym != typed.lower && sym != typed.upper) || keys[key] != 0) continue;
      keys[key] = static_cast<uint8_t>(typed.usPlace.code);
      found = true;
    }
    if (!found) Claim(keys, keymap, typed.usPlace);
  }
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

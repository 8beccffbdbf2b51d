#pragma once

#include <array>
#include <cstdint>

struct xkb_keymap;

namespace kavarin {

// The game's virtual key code of every X key code, 0 for the keys the game ignores.
using LayoutKeys = std::array<uint8_t, 256>;

// The game keys of each layout (group) of a keymap, by the rule in app/layout_rule.h; an X key
// event's state tells which layout was active for it. Layouts past the keymap's last are its
// layouts again, as the server counts them.
using KeymapKeys = std::array<LayoutKeys, 4>;
KeymapKeys KeymapKeysOf(xkb_keymap* keymap);

// The game keys by their places on a US keyboard, for when the layout cannot be read.
const LayoutKeys& UsPlaceKeys();

}  // namespace kavarin

#pragma once

#include <array>
#include <cstdint>

struct xkb_keymap;

namespace kavarin {

// The game's virtual key code of every X key code, 0 for the keys the game ignores.
using LayoutKeys = std::array<uint8_t, 256>;

// The game keys of each layout (group) of a keymap; an X key event's state tells which layout
// was active for it. The game knows its keys as the codes that one unshifted key each gives on
// the original platform, whatever the layout:
// - the right player's keys are the keys in the places of ] [ / ; on a US keyboard, or of
//   ] [ / : on a Japanese (JIS) one, whatever they type;
// - A, Q, X and S are the keys that type those letters without Shift; a letter that no key
//   types (Cyrillic, Greek) or whose key is already a right player's key (Dvorak's S) is the key
//   in that letter's place on a US keyboard;
// - Space is the key that types a space.
// Layouts past the keymap's last are its layouts again, as the server counts them.
using KeymapKeys = std::array<LayoutKeys, 4>;
KeymapKeys KeymapKeysOf(xkb_keymap* keymap);

// The game keys by their places on a US keyboard, for when the layout cannot be read.
const LayoutKeys& UsPlaceKeys();

}  // namespace kavarin

#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace kavarin {

// One key of a keyboard layout, as the game's key rule sees it: where it sits and what it types.
struct LayoutKey {
  // The key's place, by its XKB name (AD12 is the key right of P on a US keyboard), or by its
  // web name (BracketRight) when the rule is asked with PlaceNames::Web.
  std::string_view place;
  char32_t typed;  // what it types with no modifier, 0 for nothing or more than one character
};

enum class PlaceNames { Xkb, Web };

// The game's virtual key code of each of `keys`, 0 for the keys the game ignores; `codes` has
// one entry per key. The game knows its keys as the codes that one unshifted key each gives on
// the original platform, whatever the layout:
// - the right player's keys are the keys in the places of ] [ / ; on a US keyboard, or of
//   ] [ / : on a Japanese (JIS) one, whatever they type;
// - A, Q, X and S are the keys that type those letters; a letter that no key types (Cyrillic,
//   Greek) or whose key is already a right player's key (Dvorak's S) is the key in that
//   letter's place on a US keyboard;
// - Space is the key that types a space.
void GameCodesOf(std::span<const LayoutKey> keys, PlaceNames names, std::span<uint8_t> codes);

// A place on the keyboard by its names, with the game code that a US keyboard gives there.
struct KeyPlace {
  std::string_view xkb;  // its XKB name
  std::string_view web;  // its name in web key events (KeyboardEvent.code)
  uint8_t x11KeyCode;    // its X key code with the usual (evdev) numbering
  int32_t code;
};

// The game keys by their places on a US keyboard, for when the layout cannot be read.
std::span<const KeyPlace> UsPlaces();

}  // namespace kavarin

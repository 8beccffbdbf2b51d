#pragma once

#include <QtGlobal>
#include <cstdint>

#include "app/layout_keys.h"

class QKeyEvent;

namespace kavarin {

// What the game can tell of the keyboard that key events come from.
struct KeySource {
  // The game keys of the keymap's layouts by X key code, where the keymap can be read (X11).
  const KeymapKeys* keymap = nullptr;
  // Whether a key event's native scan code is its X key code (X11, Wayland).
  bool xKeyCodes = false;
};

// The keyboard of this application's window system. The first call for an application starts
// following its layout, where that can be done.
KeySource ApplicationKeySource();

// The game's virtual key code for a key event, or 0 when the game ignores the key. Keypad keys
// are never game keys; Shift, Caps Lock, AltGr and the other modifiers change nothing.
// - Where the keymap is known, the key's entry in the layout that the event's state names
//   decides (see KeymapKeysOf).
// - Where only the key's place is known (Wayland), the right player's keys and Space go by
//   their places on a US keyboard, a Latin letter by the letter, and any other letter by its
//   place on a US keyboard.
// - Elsewhere, and for key events that a program made up (which carry no key code), the code
//   follows the character on the key cap with Shift taken off: Shift+A is A, ":" and ";" are the
//   US fire key, "?" is "/", "}" is "]" and "{" is "[", and "*" is the fire key only from the
//   place of the JIS ":" key (Shift+":" there).
int32_t VirtualKeyOf(const QKeyEvent& event, const KeySource& source);

// The same, for a key event of this application's window system.
int32_t VirtualKeyOf(const QKeyEvent& event);

// X11 key code of the key right of ";" on a US keyboard: the ":" key of a JIS keyboard.
constexpr quint32 JisColonScanCode = 48;

}  // namespace kavarin

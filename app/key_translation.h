#pragma once

#include <QtGlobal>
#include <cstdint>

class QKeyEvent;

namespace kavarin {

// The game's virtual key code for a key event, or 0 when the game ignores the key.
//
// The code follows the character on the key cap, with Shift taken off: Shift+A is A, ":" and
// ";" are the same key on a US keyboard, "?" is "/", "}" is "]" and "{" is "[". Keypad keys are
// never game keys. On a Japanese (JIS) keyboard the right player's fire key is the ":" key; with
// Shift it gives "*", which is taken as the fire key only when it comes from that key's
// position, so Shift+8 on a US keyboard stays ignored. The JIS ";" key also fires, because its
// character cannot be told apart from the US fire key without knowing the layout.
int32_t VirtualKeyOf(const QKeyEvent& event);

// X11 key code of the key right of ";" on a US keyboard: the ":" key of a JIS keyboard.
constexpr quint32 JisColonScanCode = 48;

}  // namespace kavarin

#include <gtest/gtest.h>

#include <QKeyEvent>

#include "app/key_translation.h"

namespace kavarin {
namespace {

int32_t Press(int key, Qt::KeyboardModifiers mods = Qt::NoModifier, quint32 scanCode = 0) {
  const QKeyEvent event(QEvent::KeyPress, key, mods, scanCode, 0, 0);
  return VirtualKeyOf(event);
}

TEST(KeyTranslation, GameKeysWithAndWithoutShift) {
  struct Case {
    int plain;
    int shifted;  // what the same key gives with Shift on a US keyboard
    int32_t code;
  };
  const Case cases[] = {
      {Qt::Key_A, Qt::Key_A, 65},
      {Qt::Key_Q, Qt::Key_Q, 81},
      {Qt::Key_X, Qt::Key_X, 88},
      {Qt::Key_S, Qt::Key_S, 83},
      {Qt::Key_Space, Qt::Key_Space, 32},
      {Qt::Key_BracketRight, Qt::Key_BraceRight, 221},
      {Qt::Key_BracketLeft, Qt::Key_BraceLeft, 219},
      {Qt::Key_Slash, Qt::Key_Question, 191},
      {Qt::Key_Semicolon, Qt::Key_Colon, 186},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Press(c.plain), c.code) << c.plain;
    EXPECT_EQ(Press(c.shifted, Qt::ShiftModifier), c.code) << c.shifted;
    // Other modifiers held by the other player change nothing either.
    EXPECT_EQ(Press(c.plain, Qt::ControlModifier | Qt::AltModifier), c.code) << c.plain;
  }
}

TEST(KeyTranslation, JapaneseColonKeyFiresWithAndWithoutShift) {
  EXPECT_EQ(Press(Qt::Key_Colon, Qt::NoModifier, JisColonScanCode), 186);
  EXPECT_EQ(Press(Qt::Key_Asterisk, Qt::ShiftModifier, JisColonScanCode), 186);
  // "*" from anywhere else (Shift+8 on a US keyboard) is not the fire key.
  EXPECT_EQ(Press(Qt::Key_Asterisk, Qt::ShiftModifier, 17), 0);
}

TEST(KeyTranslation, EveryOtherKeyIsIgnored) {
  const int others[] = {Qt::Key_F2,         Qt::Key_B,
                        Qt::Key_Z,          Qt::Key_1,
                        Qt::Key_Return,     Qt::Key_Escape,
                        Qt::Key_Shift,      Qt::Key_Up,
                        Qt::Key_Apostrophe, Qt::Key_Plus,
                        Qt::Key_Comma,      Qt::Key_Backslash,
                        Qt::Key_unknown,    0,
                        Qt::Key_Period,     0x30A2 /* katakana */};
  for (int key : others) EXPECT_EQ(Press(key), 0) << key;
  // Keypad "/" and "*" are different keys from the main block's.
  EXPECT_EQ(Press(Qt::Key_Slash, Qt::KeypadModifier), 0);
  EXPECT_EQ(Press(Qt::Key_Asterisk, Qt::KeypadModifier | Qt::ShiftModifier, JisColonScanCode), 0);
}

}  // namespace
}  // namespace kavarin

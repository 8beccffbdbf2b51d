#include <gtest/gtest.h>

#include <xkbcommon/xkbcommon.h>

#include <QKeyEvent>
#include <map>
#include <memory>
#include <set>
#include <string>

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

// The game keys of a keymap made from the system's layout files, as an X server makes it.
KeymapKeys KeysOf(const char* layouts, const char* variants = "") {
  std::unique_ptr<xkb_context, void (*)(xkb_context*)> context(
      xkb_context_new(XKB_CONTEXT_NO_FLAGS), xkb_context_unref);
  const xkb_rule_names names{.rules = "evdev",
                             .model = "pc105",
                             .layout = layouts,
                             .variant = variants,
                             .options = nullptr};
  std::unique_ptr<xkb_keymap, void (*)(xkb_keymap*)> keymap(
      xkb_keymap_new_from_names(context.get(), &names, XKB_KEYMAP_COMPILE_NO_FLAGS),
      xkb_keymap_unref);
  EXPECT_TRUE(keymap) << layouts;
  return keymap ? KeymapKeysOf(keymap.get()) : KeymapKeys{};
}

// Every game code with the X key codes that give it; nothing else may give a code.
using Where = std::map<int32_t, std::set<int>>;
Where WhereIn(const LayoutKeys& keys) {
  Where where;
  for (int key = 0; key < 256; ++key) {
    if (keys[key] != 0) where[keys[key]].insert(key);
  }
  return where;
}

TEST(LayoutKeys, RightPlayerByPlaceLettersByLetterOrPlace) {
  // X key codes: US ] 35, [ 34, / 61, ; 47; JIS ] 51, : 48; A 38, Q 24, X 53, S 39, Space 65.
  const Where us = {{221, {35}}, {219, {34}}, {191, {61}}, {186, {47}}, {65, {38}},
                    {81, {24}},  {88, {53}},  {83, {39}},  {32, {65}}};
  Where azerty = us;
  azerty[65] = {24};
  azerty[81] = {38};
  Where jis = us;
  jis[221] = {51};
  jis[219] = {35};
  jis[186] = {48};
  Where dvorak = us;  // its S is on the ";" place, so S stays at its US place
  dvorak[81] = {53};
  dvorak[88] = {56};
  const struct {
    const char* layout;
    const char* variant;
    Where expected;
  } cases[] = {{"us", "", us}, {"de", "", us},  {"fr", "", azerty},  {"ru", "", us},
               {"gr", "", us}, {"jp", "", jis}, {"jp", "kana", jis}, {"us", "dvorak", dvorak},
               {"br", "", us}};  // ] where a US keyboard has \, but no JIS ":"
  for (const auto& c : cases) {
    EXPECT_EQ(WhereIn(KeysOf(c.layout, c.variant)[0]), c.expected) << c.layout << c.variant;
  }
  // Each layout of a keymap has its own keys; past the last, layouts wrap round to the first.
  const KeymapKeys two = KeysOf("fr,jp");
  EXPECT_EQ(WhereIn(two[0]), azerty);
  EXPECT_EQ(WhereIn(two[1]), jis);
  EXPECT_EQ(two[2], two[0]);
  EXPECT_EQ(two[3], two[1]);
}

// A key event as Qt's xcb platform delivers it: the X key code, the key symbol and the X state.
int32_t XPress(const KeySource& source, quint32 keyCode, int key, quint32 state,
               Qt::KeyboardModifiers mods = Qt::NoModifier) {
  const QKeyEvent event(QEvent::KeyPress, key, mods, keyCode, 0, state);
  return VirtualKeyOf(event, source);
}

TEST(KeyTranslation, OnX11TheKeymapAndTheEventsLayoutDecide) {
  const KeymapKeys keys = KeysOf("de,ru");
  const KeySource x11{.keymap = &keys, .xKeyCodes = true};
  constexpr quint32 Shift = 0x1, Lock = 0x2, AltGr = 0x80, Russian = 1 << 13;
  // Whatever Qt makes of the key and the modifiers, the code is the table's: "+", "*", "~".
  for (quint32 state : {0u, Shift, Lock, AltGr, Shift | Lock | AltGr}) {
    EXPECT_EQ(XPress(x11, 35, Qt::Key_Plus, state), 221) << state;
    EXPECT_EQ(XPress(x11, 35, Qt::Key_AsciiTilde, state, Qt::GroupSwitchModifier), 221) << state;
    EXPECT_EQ(XPress(x11, 24, Qt::Key_At, state), 81) << state;  // AltGr+Q
    EXPECT_EQ(XPress(x11, 29, Qt::Key_Z, state), 0) << state;
    EXPECT_EQ(XPress(x11, 38, 0x424 /* Cyrillic ef */, state | Russian), 65) << state;
  }
  // Keypad keys never, and events a program made up (no key code) go by their character.
  EXPECT_EQ(XPress(x11, 35, Qt::Key_Plus, 0, Qt::KeypadModifier), 0);
  EXPECT_EQ(XPress(x11, 0, Qt::Key_BracketRight, 0), 221);
}

TEST(KeyTranslation, WithoutTheKeymapTheUsPlacesAndLatinLetters) {
  const KeySource wayland{.keymap = nullptr, .xKeyCodes = true};
  EXPECT_EQ(XPress(wayland, 35, Qt::Key_Plus, 0), 221);  // German "+"
  EXPECT_EQ(XPress(wayland, 47, Qt::Key_M, 0), 186);     // French "m"
  EXPECT_EQ(XPress(wayland, 38, Qt::Key_Q, 0), 81);      // French "q"
  EXPECT_EQ(XPress(wayland, 24, Qt::Key_A, 0), 65);      // French "a"
  EXPECT_EQ(XPress(wayland, 38, 0x424, 0), 65);          // Russian "ф"
  EXPECT_EQ(XPress(wayland, 29, Qt::Key_Z, 0), 0);       // German "z"
  EXPECT_EQ(XPress(wayland, 65, Qt::Key_Space, 0), 32);
}

}  // namespace
}  // namespace kavarin

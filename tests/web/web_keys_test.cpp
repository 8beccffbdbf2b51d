// The page's key rule against the desktop's: the same layouts, told as a browser tells them
// (KeyboardEvent.code and what each key types), give the same game keys as the X11 keymap.
#include <gtest/gtest.h>
#include <xkbcommon/xkbcommon.h>

#include <map>
#include <memory>
#include <string>

#include "app/layout_keys.h"
#include "match/keys.h"
#include "web/glue/web_keys.h"

namespace kavarin {
namespace {

// The keys a browser's layout map names, by their XKB names.
constexpr std::pair<const char*, const char*> WebNames[] = {
    {"TLDE", "Backquote"},   {"AE01", "Digit1"},       {"AE02", "Digit2"},
    {"AE03", "Digit3"},      {"AE04", "Digit4"},       {"AE05", "Digit5"},
    {"AE06", "Digit6"},      {"AE07", "Digit7"},       {"AE08", "Digit8"},
    {"AE09", "Digit9"},      {"AE10", "Digit0"},       {"AE11", "Minus"},
    {"AE12", "Equal"},       {"AE13", "IntlYen"},      {"AD01", "KeyQ"},
    {"AD02", "KeyW"},        {"AD03", "KeyE"},         {"AD04", "KeyR"},
    {"AD05", "KeyT"},        {"AD06", "KeyY"},         {"AD07", "KeyU"},
    {"AD08", "KeyI"},        {"AD09", "KeyO"},         {"AD10", "KeyP"},
    {"AD11", "BracketLeft"}, {"AD12", "BracketRight"}, {"BKSL", "Backslash"},
    {"AC01", "KeyA"},        {"AC02", "KeyS"},         {"AC03", "KeyD"},
    {"AC04", "KeyF"},        {"AC05", "KeyG"},         {"AC06", "KeyH"},
    {"AC07", "KeyJ"},        {"AC08", "KeyK"},         {"AC09", "KeyL"},
    {"AC10", "Semicolon"},   {"AC11", "Quote"},        {"LSGT", "IntlBackslash"},
    {"AB01", "KeyZ"},        {"AB02", "KeyX"},         {"AB03", "KeyC"},
    {"AB04", "KeyV"},        {"AB05", "KeyB"},         {"AB06", "KeyN"},
    {"AB07", "KeyM"},        {"AB08", "Comma"},        {"AB09", "Period"},
    {"AB10", "Slash"},       {"AB11", "IntlRo"},
};

using Keymap = std::unique_ptr<xkb_keymap, void (*)(xkb_keymap*)>;

Keymap KeymapOf(const char* layout, const char* variant) {
  std::unique_ptr<xkb_context, void (*)(xkb_context*)> context(
      xkb_context_new(XKB_CONTEXT_NO_FLAGS), xkb_context_unref);
  const xkb_rule_names names{
      .rules = "evdev", .model = "pc105", .layout = layout, .variant = variant, .options = nullptr};
  return Keymap(xkb_keymap_new_from_names(context.get(), &names, XKB_KEYMAP_COMPILE_NO_FLAGS),
                xkb_keymap_unref);
}

// What a browser's layout map holds for the keymap's first layout: each key's unshifted text;
// keys that type none (dead keys) are left out.
std::string BrowserLayoutMap(xkb_keymap* keymap) {
  std::string lines;
  for (const auto& [xkb, web] : WebNames) {
    const xkb_keycode_t key = xkb_keymap_key_by_name(keymap, xkb);
    if (key == XKB_KEYCODE_INVALID) continue;
    const xkb_keysym_t* syms = nullptr;
    if (xkb_keymap_key_get_syms_by_level(keymap, key, 0, 0, &syms) != 1) continue;
    char text[8] = {};
    if (xkb_keysym_to_utf8(syms[0], text, sizeof text) <= 1) continue;
    lines += std::string(web) + "\t" + text + "\n";
  }
  return lines;
}

std::map<std::string, int> Parsed(const std::string& lines) {
  std::map<std::string, int> codes;
  size_t at = 0;
  while (at < lines.size()) {
    const size_t end = lines.find('\n', at);
    const std::string line = lines.substr(at, end - at);
    codes[line.substr(0, line.find('\t'))] = std::stoi(line.substr(line.find('\t') + 1));
    at = end + 1;
  }
  return codes;
}

TEST(WebKeys, TheBrowsersLayoutMapGivesTheKeysTheX11KeymapGives) {
  const std::pair<const char*, const char*> layouts[] = {
      {"us", ""}, {"de", ""}, {"fr", ""},        {"jp", ""}, {"jp", "kana"}, {"us", "dvorak"},
      {"ru", ""}, {"gr", ""}, {"br", ""},        {"ch", ""}, {"es", ""},     {"be", ""},
      {"gb", ""}, {"se", ""}, {"us", "colemak"}, {"il", ""}, {"ua", ""},     {"tr", ""}};
  for (const auto& [layout, variant] : layouts) {
    const Keymap keymap = KeymapOf(layout, variant);
    ASSERT_TRUE(keymap) << layout;
    const LayoutKeys desktop = KeymapKeysOf(keymap.get())[0];
    const std::map<std::string, int> web = Parsed(WebLayoutCodes(BrowserLayoutMap(keymap.get())));
    int found = 0;
    for (const auto& [xkb, name] : WebNames) {
      const xkb_keycode_t key = xkb_keymap_key_by_name(keymap.get(), xkb);
      const int want = key < desktop.size() ? desktop[key] : 0;
      const auto it = web.find(name);
      EXPECT_EQ(it == web.end() ? 0 : it->second, want) << layout << variant << " " << name;
      found += want != 0;
    }
    // Space is not in a browser's map; it is taken to be where it always is.
    EXPECT_EQ(web.at("Space"), VkSpace) << layout;
    EXPECT_EQ(found, 8) << layout << variant;  // the four right keys, A, Q, X and S
  }
}

TEST(WebKeys, WithoutTheLayoutTheRightKeysByPlaceAndLettersByWhatTheyType) {
  // The right player's keys by place, whatever they type (German + on the ] place).
  EXPECT_EQ(WebKeyByPlace("BracketRight", "+"), VkOem6);
  EXPECT_EQ(WebKeyByPlace("Semicolon", "ö"), VkOem1);
  EXPECT_EQ(WebKeyByPlace("Slash", "-"), VkOem2);
  // Latin letters by the letter: AZERTY's A on the Q place; and a letter on a right player's
  // place stays the right player's key (Dvorak's S on the ; place).
  EXPECT_EQ(WebKeyByPlace("KeyQ", "a"), VkA);
  EXPECT_EQ(WebKeyByPlace("KeyA", "Q"), VkQ);
  EXPECT_EQ(WebKeyByPlace("Semicolon", "s"), VkOem1);
  EXPECT_EQ(WebKeyByPlace("KeyS", "o"), 0);
  // Other letters (Cyrillic) by their US place; Space by its place.
  EXPECT_EQ(WebKeyByPlace("KeyX", "ч"), VkX);
  EXPECT_EQ(WebKeyByPlace("Space", " "), VkSpace);
  // Keys that are not the game's, and malformed text, give nothing.
  EXPECT_EQ(WebKeyByPlace("Quote", ":"), 0);
  EXPECT_EQ(WebKeyByPlace("KeyB", "b"), 0);
  EXPECT_EQ(WebKeyByPlace("", ""), 0);
  EXPECT_EQ(WebKeyByPlace("KeyZ", "\xff"), 0);
}

}  // namespace
}  // namespace kavarin

#include "app/layout_rule.h"

#include <array>
#include <iterator>

#include "match/keys.h"

namespace kavarin {
namespace {

using Place = KeyPlace;

// Where the right player's keys sit on a US keyboard and on a JIS one.
constexpr Place UsRightPlaces[] = {{"AD12", "BracketRight", 35, VkOem6},
                                   {"AD11", "BracketLeft", 34, VkOem4},
                                   {"AB10", "Slash", 61, VkOem2},
                                   {"AC10", "Semicolon", 47, VkOem1}};
constexpr Place JisRightPlaces[] = {{"BKSL", "Backslash", 51, VkOem6},
                                    {"AD12", "BracketRight", 35, VkOem4},
                                    {"AB10", "Slash", 61, VkOem2},
                                    {"AC11", "Quote", 48, VkOem1}};

// The letters and Space, each at its place on a US keyboard.
struct Typed {
  char32_t lower;
  char32_t upper;
  Place usPlace;
};
constexpr Typed TypedKeys[] = {
    {U'a', U'A', {"AC01", "KeyA", 38, VkA}},      {U'q', U'Q', {"AD01", "KeyQ", 24, VkQ}},
    {U'x', U'X', {"AB02", "KeyX", 53, VkX}},      {U's', U'S', {"AC02", "KeyS", 39, VkS}},
    {U' ', U' ', {"SPCE", "Space", 65, VkSpace}},
};

// The kana a JIS layout's : and ] keys type in kana mode (け and む).
constexpr char32_t KanaKe = U'\u30B1';
constexpr char32_t KanaMu = U'\u30E0';

std::string_view NameOf(const Place& place, PlaceNames names) {
  return names == PlaceNames::Xkb ? place.xkb : place.web;
}

int KeyAt(std::span<const LayoutKey> keys, std::string_view place) {
  for (size_t i = 0; i < keys.size(); ++i)
    if (keys[i].place == place) return static_cast<int>(i);
  return -1;
}

char32_t TypedAt(std::span<const LayoutKey> keys, const Place& place, PlaceNames names) {
  const int key = KeyAt(keys, NameOf(place, names));
  return key < 0 ? 0 : keys[key].typed;
}

// A JIS layout types : right of ; and ] where a US keyboard has \ (in kana: け and む).
bool IsJis(std::span<const LayoutKey> keys, PlaceNames names) {
  const char32_t colon = TypedAt(keys, JisRightPlaces[3], names);
  const char32_t bracket = TypedAt(keys, JisRightPlaces[0], names);
  return (colon == U':' || colon == KanaKe) && (bracket == U']' || bracket == KanaMu);
}

// Puts the place's code on the key there unless that key already has a game code.
void Claim(std::span<const LayoutKey> keys, PlaceNames names, const Place& place,
           std::span<uint8_t> codes) {
  const int key = KeyAt(keys, NameOf(place, names));
  if (key >= 0 && codes[key] == 0) codes[key] = static_cast<uint8_t>(place.code);
}

}  // namespace

void GameCodesOf(std::span<const LayoutKey> keys, PlaceNames names, std::span<uint8_t> codes) {
  for (uint8_t& code : codes) code = 0;
  for (const Place& place : IsJis(keys, names) ? JisRightPlaces : UsRightPlaces)
    Claim(keys, names, place, codes);
  for (const Typed& typed : TypedKeys) {
    bool found = false;
    for (size_t key = 0; key < keys.size(); ++key) {
      const char32_t c = keys[key].typed;
      if ((c != typed.lower && c != typed.upper) || codes[key] != 0) continue;
      codes[key] = static_cast<uint8_t>(typed.usPlace.code);
      found = true;
    }
    if (!found) Claim(keys, names, typed.usPlace, codes);
  }
}

std::span<const KeyPlace> UsPlaces() {
  static constexpr auto places = [] {
    std::array<KeyPlace, std::size(UsRightPlaces) + std::size(TypedKeys)> all{};
    size_t n = 0;
    for (const Place& place : UsRightPlaces) all[n++] = place;
    for (const Typed& typed : TypedKeys) all[n++] = typed.usPlace;
    return all;
  }();
  return places;
}

}  // namespace kavarin

#include "web/glue/web_keys.h"

#include <vector>

#include "app/layout_rule.h"
#include "match/keys.h"

namespace kavarin {
namespace {

// The one character that `text` holds in UTF-8, or 0 when it holds none or several.
char32_t OnlyCharacter(std::string_view text) {
  if (text.empty()) return 0;
  const auto lead = static_cast<unsigned char>(text[0]);
  const size_t length = lead < 0x80    ? 1
                        : lead >= 0xF0 ? 4
                        : lead >= 0xE0 ? 3
                        : lead >= 0xC0 ? 2
                                       : 0;
  if (length == 0 || text.size() != length) return 0;
  char32_t c = length == 1 ? lead : lead & (0x7F >> length);
  for (size_t i = 1; i < length; ++i) {
    const auto next = static_cast<unsigned char>(text[i]);
    if ((next & 0xC0) != 0x80) return 0;
    c = (c << 6) | (next & 0x3F);
  }
  return c;
}

}  // namespace

std::string WebLayoutCodes(std::string_view layout) {
  std::vector<LayoutKey> keys;
  while (!layout.empty()) {
    const size_t end = std::min(layout.find('\n'), layout.size());
    const std::string_view line = layout.substr(0, end);
    layout.remove_prefix(std::min(end + 1, layout.size()));
    const size_t tab = line.find('\t');
    if (tab == std::string_view::npos || tab == 0) continue;
    keys.push_back({line.substr(0, tab), OnlyCharacter(line.substr(tab + 1))});
  }
  // The map leaves out Space, and may leave out keys that type no character of their own (dead
  // keys); the game's places are there all the same.
  for (const KeyPlace& place : UsPlaces()) {
    bool listed = false;
    for (const LayoutKey& key : keys) listed = listed || key.place == place.web;
    if (!listed) keys.push_back({place.web, 0});
  }
  std::vector<uint8_t> codes(keys.size());
  GameCodesOf(keys, PlaceNames::Web, codes);
  std::string out;
  for (size_t i = 0; i < keys.size(); ++i) {
    if (codes[i] == 0) continue;
    out.append(keys[i].place).append("\t").append(std::to_string(codes[i])).append("\n");
  }
  return out;
}

int32_t WebKeyByPlace(std::string_view code, std::string_view key) {
  int32_t placed = 0;
  for (const KeyPlace& place : UsPlaces())
    if (place.web == code) placed = place.code;
  const bool rightPlayers =
      placed == VkOem1 || placed == VkOem2 || placed == VkOem4 || placed == VkOem6;
  const char32_t c = OnlyCharacter(key);
  const bool latinLetter = (c >= U'a' && c <= U'z') || (c >= U'A' && c <= U'Z');
  if (rightPlayers || !latinLetter) return placed;
  switch (c | 0x20) {
    case U'a':
      return VkA;
    case U'q':
      return VkQ;
    case U's':
      return VkS;
    case U'x':
      return VkX;
    default:
      return 0;
  }
}

}  // namespace kavarin

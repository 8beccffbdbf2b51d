#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kavarin {

// The page's keys, by the shared rule of app/layout_rule.h.

// The game keys of a layout that the browser told (navigator.keyboard.getLayoutMap()), given as
// lines "code<TAB>key" (KeyboardEvent.code and what the key types). Returns lines "code<TAB>vk"
// for the game keys only. Places the map leaves out (Space, dead keys) are still the game's.
std::string WebLayoutCodes(std::string_view layout);

// The game key of one key event when the layout is unknown: the right player's keys and Space by
// their places on a US keyboard, a Latin letter by the letter it types (`key`), and any other
// letter by its place on a US keyboard.
int32_t WebKeyByPlace(std::string_view code, std::string_view key);

}  // namespace kavarin

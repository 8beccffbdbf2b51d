#pragma once

#include <cstdint>
#include <vector>

namespace kavarin {

// The game's icon (app/dialogs/kavarin.xpm) as RGBA pixels, row by row; its size in `width` and
// `height`. Only the picture's own simple form of XPM is read: one character per pixel and
// colours as #RRGGBB.
std::vector<uint8_t> IconPixels(int& width, int& height);

}  // namespace kavarin

#pragma once

#include <cstdint>

namespace kavarin {

// A field pixel's grey level as a 32-bit RGB value: the level in each of the three channels.
constexpr uint32_t RgbOfLevel(uint8_t level) {
  return level * 0x010101u;
}

}  // namespace kavarin

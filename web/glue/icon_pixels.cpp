#include "web/glue/icon_pixels.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/dialogs/kavarin.xpm"

namespace kavarin {

std::vector<uint8_t> IconPixels(int& width, int& height) {
  int colours = 0, perPixel = 0;
  width = height = 0;
  if (std::sscanf(kavarin_xpm[0], "%d %d %d %d", &width, &height, &colours, &perPixel) != 4 ||
      perPixel != 1 || width <= 0 || height <= 0) {
    width = height = 0;
    return {};
  }
  uint32_t palette[256] = {};
  for (int i = 1; i <= colours; ++i) {
    const char* line = kavarin_xpm[i];
    const char* hash = std::strchr(line, '#');
    if (hash != nullptr)
      palette[static_cast<unsigned char>(line[0])] = std::strtoul(hash + 1, nullptr, 16);
  }
  std::vector<uint8_t> rgba(static_cast<size_t>(width) * height * 4);
  for (int y = 0; y < height; ++y) {
    const char* row = kavarin_xpm[1 + colours + y];
    for (int x = 0; x < width; ++x) {
      const uint32_t c = palette[static_cast<unsigned char>(row[x])];
      uint8_t* p = &rgba[(static_cast<size_t>(y) * width + x) * 4];
      p[0] = static_cast<uint8_t>(c >> 16);
      p[1] = static_cast<uint8_t>(c >> 8);
      p[2] = static_cast<uint8_t>(c);
      p[3] = 255;
    }
  }
  return rgba;
}

}  // namespace kavarin

#pragma once

#include <cstdint>

namespace kavarin {

// A point in field pixels: origin top-left, x to the right, y downwards. Points outside the
// field are allowed; the drawing surface clips them.
struct Point {
  int32_t x;
  int32_t y;
  bool operator==(const Point&) const = default;
};

// The game draws with exactly two pen colours.
enum class Color : uint32_t {
  Black = 0x000000,
  White = 0xFFFFFF,
};

}  // namespace kavarin

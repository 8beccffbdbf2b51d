#pragma once

#include <cstdint>
#include <span>

#include "render/geometry.h"

namespace kavarin {

constexpr int32_t FieldWidth = 400;
constexpr int32_t FieldHeight = 300;

// Everything the game puts on the field goes through this: a pen colour, polylines and one clear.
// Objects are erased by drawing them again in black; nothing is ever redrawn from a copy.
class DrawingSurface {
 public:
  virtual ~DrawingSurface() = default;

  virtual void SetPenColor(Color color) = 0;
  // 2 to 9 points. Every segment paints its start pixel and not its end pixel.
  virtual void Polyline(std::span<const Point> points) = 0;
  // Pen and brush to black, then the whole 400 x 300 field painted black.
  virtual void ClearField() = 0;
};

}  // namespace kavarin

#pragma once

#include <cstdint>
#include <span>

#include "render/geometry.h"

namespace kavarin {

constexpr int32_t FieldWidth = 400;
constexpr int32_t FieldHeight = 300;

// Everything the game puts on screen goes through this: a pen colour, polylines and one clear.
// There is no back buffer in the game's own sense; objects are erased by drawing them again in
// black. `Field` is the pixel implementation; the desktop window and the replay tool wrap it.
class DrawingSurface {
 public:
  virtual ~DrawingSurface() = default;

  virtual void SetPenColor(Color color) = 0;
  // 2 to 9 points. Every segment paints its start pixel and not its end pixel.
  virtual void Polyline(std::span<const Point> points) = 0;
  // Pen and brush to black, then the whole 400 x 300 field painted black.
  virtual void ClearField() = 0;
  // The window colour behind the field.
  virtual void SetBackgroundColor(Color color) = 0;
  // The window's client area; Start puts it back to 400 x 300.
  virtual void SetClientSize(int32_t width, int32_t height) = 0;
};

}  // namespace kavarin

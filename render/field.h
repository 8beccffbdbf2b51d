#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "render/drawing_surface.h"

namespace kavarin {

// The 400 x 300 play field as pixels, one byte each: 0 black, 255 white, with the pen colour.
// This is the game's picture: a plain value, copied, compared and hashed with the rest of the
// simulation. The window shows it and the replay tool writes it out.
class Field {
 public:
  static constexpr uint8_t BlackPixel = 0;
  static constexpr uint8_t WhitePixel = 255;

  Field();

  void SetPenColor(Color color) { pen_ = color; }
  void Polyline(std::span<const Point> points);
  void ClearField();

  Color PenColor() const { return pen_; }

  // Row-major, FieldWidth bytes a row.
  const uint8_t* Pixels() const { return pixels_.data(); }
  uint8_t PixelAt(int32_t x, int32_t y) const { return pixels_[y * FieldWidth + x]; }
  bool IsWhite(int32_t x, int32_t y) const { return PixelAt(x, y) == WhitePixel; }

  bool operator==(const Field&) const = default;

 private:
  void Segment(Point from, Point to, uint8_t value);
  void Walk(int64_t at, int64_t count, int64_t err, int64_t n, int64_t d, int64_t major,
            int64_t minor, uint8_t value);

  std::array<uint8_t, FieldWidth * FieldHeight> pixels_;
  Color pen_ = Color::Black;
};

}  // namespace kavarin

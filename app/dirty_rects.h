#pragma once

#include <QRect>
#include <array>
#include <span>

namespace kavarin {

// What a tick drew, as a few rectangles that cover it. A tick draws at both edges (the ships)
// and between them (the star's outline, the beams), so rectangles around its lines cover far
// less than one around everything; beyond Most they are merged where that adds least.
class DirtyRects {
 public:
  static constexpr int Most = 16;

  void Add(const QRect& rect);
  bool Empty() const { return count_ == 0; }
  // The rectangles added since the last Take, and forgets them.
  std::span<const QRect> Take();

 private:
  std::array<QRect, Most> rects_;
  std::array<QRect, Most> taken_;
  int count_ = 0;
};

}  // namespace kavarin

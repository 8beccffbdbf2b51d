#pragma once

#include <QRect>
#include <array>
#include <span>

namespace kavarin {

// What a tick drew, as a few rectangles that cover it. A tick draws at both edges (the ships)
// and between them (the star, the beams), so a few rectangles cover it far more tightly than
// one, and far more cheaply than one rectangle a line.
class DirtyRects {
 public:
  static constexpr int Most = 4;

  void Add(const QRect& rect);
  bool Empty() const { return count_ == 0; }
  // The rectangles added since the last Take, and forgets them.
  std::span<const QRect> Take();

 private:
  // One spare place for the rectangle being added.
  std::array<QRect, Most + 1> rects_;
  std::array<QRect, Most> taken_;
  int count_ = 0;
};

}  // namespace kavarin

#include "app/dirty_rects.h"

#include <algorithm>
#include <cstdint>
#include <limits>

namespace kavarin {
namespace {

int64_t Area(const QRect& r) {
  return static_cast<int64_t>(r.width()) * r.height();
}

}  // namespace

void DirtyRects::Add(const QRect& rect) {
  if (rect.isEmpty()) return;
  for (int i = 0; i < count_; ++i)
    if (rects_[i].contains(rect)) return;
  rects_[count_++] = rect;
  // Overlapping rectangles become one, so that nothing is painted twice; beyond Most, the two
  // whose union covers the least that neither did become one.
  for (;;) {
    int a = -1;
    int b = -1;
    int64_t least = std::numeric_limits<int64_t>::max();
    for (int i = 0; i < count_; ++i)
      for (int j = i + 1; j < count_; ++j) {
        if (count_ <= Most && !rects_[i].intersects(rects_[j])) continue;
        const int64_t waste = Area(rects_[i] | rects_[j]) - Area(rects_[i]) - Area(rects_[j]);
        if (waste < least) {
          least = waste;
          a = i;
          b = j;
        }
      }
    if (a < 0) return;
    rects_[a] |= rects_[b];
    rects_[b] = rects_[--count_];
  }
}

std::span<const QRect> DirtyRects::Take() {
  const int n = count_;
  std::copy_n(rects_.begin(), n, taken_.begin());
  count_ = 0;
  return {taken_.data(), static_cast<size_t>(n)};
}

}  // namespace kavarin

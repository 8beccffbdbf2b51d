#include "app/dirty_rects.h"

#include <algorithm>
#include <cstdint>

namespace kavarin {
namespace {

int64_t Area(const QRect& r) {
  return static_cast<int64_t>(r.width()) * r.height();
}

// What the union of two rectangles covers that neither does (less their overlap).
int64_t Waste(const QRect& a, const QRect& b) {
  return Area(a | b) - Area(a) - Area(b);
}

}  // namespace

void DirtyRects::Add(const QRect& rect) {
  if (rect.isEmpty()) return;
  QRect r = rect;
  // Rectangles that the new one's union with covers nothing more than both did become one
  // with it, as it grows.
  for (int i = 0; i < count_;) {
    if (Waste(r, rects_[i]) <= 0) {
      r |= rects_[i];
      rects_[i] = rects_[--count_];
      i = 0;
    } else {
      ++i;
    }
  }
  if (count_ < Most) {
    rects_[count_++] = r;
    return;
  }
  // Too many: it joins the one whose union with it covers the least that neither did.
  int best = 0;
  for (int i = 1; i < count_; ++i)
    if (Waste(r, rects_[i]) < Waste(r, rects_[best])) best = i;
  rects_[best] |= r;
}

std::span<const QRect> DirtyRects::Take() {
  const int n = count_;
  std::copy_n(rects_.begin(), n, taken_.begin());
  count_ = 0;
  return {taken_.data(), static_cast<size_t>(n)};
}

}  // namespace kavarin

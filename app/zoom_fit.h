#pragma once

#include <QSize>

namespace kavarin {

// The field's zoom counts device pixels per field pixel, so that every field pixel is a whole
// square of device pixels at any device pixel ratio, fractional ones included, and no smoothing
// ever appears. At a ratio of 1 it is the familiar ×1, ×2, ×3.

// Never smaller than the original's 400 × 300 logical pixels.
int SmallestZoom(qreal ratio);

// The logical size that shows `fieldPixels` at `zoom`. At a fractional ratio one device pixel is
// spare, so that the field can start on a whole device pixel wherever the widget stands.
QSize ShownSize(QSize fieldPixels, int zoom, qreal ratio);

// The largest zoom at which the field with `chrome` around it (frame and menu bar, in logical
// pixels) fits in `room`, or the smallest zoom when none does.
int LargestFittingZoom(QSize room, QSize chrome, qreal ratio);

// The largest zoom at which the field fits on a screen of `screen` logical pixels, at least 1.
int FullScreenZoom(QSize screen, qreal ratio);

}  // namespace kavarin

#pragma once

namespace kavarin::zoom_rule {

// The zoom rule in plain numbers, shared by the desktop window (through app/zoom_fit.h) and the
// web page. The field's zoom counts device pixels per field pixel, so that every field pixel is
// a whole square of device pixels at any device pixel ratio, fractional ones included, and no
// smoothing ever appears. At a ratio of 1 it is the familiar ×1, ×2, ×3.

struct PixelSize {
  int width = 0;
  int height = 0;
};

// Never smaller than the original's 400 × 300 logical pixels.
int SmallestZoom(double ratio);

// The logical size that shows `fieldPixels` at `zoom`. At a fractional ratio one device pixel is
// spare, so that the field can start on a whole device pixel wherever it stands.
PixelSize ShownSize(PixelSize fieldPixels, int zoom, double ratio);

// The largest zoom at which the field with `chrome` around it (frame and menu bar, in logical
// pixels) fits in `room`, or the smallest zoom when none does.
int LargestFittingZoom(PixelSize room, PixelSize chrome, double ratio);

// The largest zoom at which the field fits on a screen of `screen` logical pixels, at least 1.
int FullScreenZoom(PixelSize screen, double ratio);

}  // namespace kavarin::zoom_rule

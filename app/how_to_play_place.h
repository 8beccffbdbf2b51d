#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

namespace kavarin {

// Where How to play opens, as its frame's top-left corner, given the main window's frame, the
// dialog's frame size, the screen's available area and the zoom shown. At ×1 it opens where it
// always did, beside the 400-pixel window; a larger window would stand under that place, so the
// page opens against the main window's frame: to its right if it fits on the screen there,
// else to its left, else at the old place after all.
QPoint HowToPlayPlace(const QRect& mainFrame, QSize dialogFrame, const QRect& screen, int zoom);

// The place the page has at ×1.
inline constexpr QPoint HowToPlayHome(436, 22);

}  // namespace kavarin

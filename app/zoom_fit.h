#pragma once

#include <QSize>

#include "app/zoom_rule.h"

namespace kavarin {

// The zoom rule of app/zoom_rule.h in Qt's sizes, for the window.

int SmallestZoom(qreal ratio);
QSize ShownSize(QSize fieldPixels, int zoom, qreal ratio);
int LargestFittingZoom(QSize room, QSize chrome, qreal ratio);
int FullScreenZoom(QSize screen, qreal ratio);

}  // namespace kavarin

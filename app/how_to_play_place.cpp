#include "app/how_to_play_place.h"

namespace kavarin {

QPoint HowToPlayPlace(const QRect& mainFrame, QSize dialogFrame, const QRect& screen, int zoom) {
  if (zoom <= 1) return HowToPlayHome;
  const QPoint right(mainFrame.right() + 1, mainFrame.top());
  const QPoint left(mainFrame.left() - dialogFrame.width(), mainFrame.top());
  for (const QPoint at : {right, left}) {
    if (screen.contains(QRect(at, dialogFrame))) return at;
  }
  return HowToPlayHome;
}

}  // namespace kavarin

#include "app/how_to_play_place.h"

#include <gtest/gtest.h>

#include <random>

namespace kavarin {
namespace {

TEST(HowToPlayPlace, BesideTheMainWindowWhereverItFits) {
  const QRect screen(0, 0, 1920, 1080);
  const QSize page(258, 370);
  // x1: the old place, beside the 400-pixel window.
  EXPECT_EQ(HowToPlayPlace(QRect(28, 23, 402, 340), page, screen, 1), HowToPlayHome);
  // Larger: to the right, else to the left, else the old place.
  EXPECT_EQ(HowToPlayPlace(QRect(28, 23, 802, 640), page, screen, 2), QPoint(830, 23));
  EXPECT_EQ(HowToPlayPlace(QRect(1000, 40, 802, 640), page, screen, 2), QPoint(742, 40));
  EXPECT_EQ(HowToPlayPlace(QRect(0, 0, 1920, 1080), page, screen, 3), HowToPlayHome);
  // A second screen to the right of the first one.
  EXPECT_EQ(HowToPlayPlace(QRect(1940, 10, 1202, 940), page, QRect(1920, 0, 1920, 1080), 3),
            QPoint(3142, 10));

  // Anywhere on any screen: a place off the old one is against the main window's side, wholly
  // on the screen and clear of the main window, and the right side wins when both fit.
  std::mt19937 random(7);
  for (int i = 0; i < 10000; ++i) {
    const QRect room(random() % 3000, random() % 1000, 800 + random() % 3000,
                     600 + random() % 1500);
    const int zoom = 2 + random() % 4;
    const QSize main(400 * zoom + 2, 300 * zoom + 40);
    const QRect frame(QPoint(room.left() + random() % room.width() - main.width() / 2,
                             room.top() + random() % room.height() - main.height() / 2),
                      main);
    const QPoint at = HowToPlayPlace(frame, page, room, zoom);
    if (at == HowToPlayHome) {
      EXPECT_FALSE(room.contains(QRect(QPoint(frame.right() + 1, frame.top()), page)));
      EXPECT_FALSE(room.contains(QRect(QPoint(frame.left() - page.width(), frame.top()), page)));
      continue;
    }
    const QRect placed(at, page);
    EXPECT_TRUE(room.contains(placed));
    EXPECT_FALSE(placed.intersects(frame));
    EXPECT_EQ(at.y(), frame.top());
    const bool rightFits = room.contains(QRect(QPoint(frame.right() + 1, frame.top()), page));
    EXPECT_EQ(at.x(), rightFits ? frame.right() + 1 : frame.left() - page.width());
  }
}

}  // namespace
}  // namespace kavarin

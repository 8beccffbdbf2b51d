#pragma once

#include <QIcon>
#include <QPixmap>

// The game's 32x32 icon: a ship and the star in white lines on black.
QIcon AppIcon();
QPixmap AppIconPixmap();

#include "app/dialogs/app_icon.h"

QPixmap AppIconPixmap() {
  QPixmap p(32, 32);
  p.fill(Qt::black);
  return p;
}

QIcon AppIcon() {
  return QIcon(AppIconPixmap());
}

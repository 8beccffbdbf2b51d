#include "app/dialogs/app_icon.h"

// The picture lives as text beside this file so that it can also be installed
// as it is; it defines kavarin_xpm.
#include "app/dialogs/kavarin.xpm"

QPixmap AppIconPixmap() {
  return QPixmap(kavarin_xpm);
}

QIcon AppIcon() {
  return QIcon(AppIconPixmap());
}

// Writes the game icon as a PNG for the desktop icon theme: icon_png_tool OUT.png
#include <QImage>
#include <cstdio>

#include "app/dialogs/kavarin.xpm"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s OUT.png\n", argv[0]);
    return 2;
  }
  const QImage icon(kavarin_xpm);
  if (icon.isNull() || !icon.save(QString::fromLocal8Bit(argv[1]), "PNG")) {
    std::fprintf(stderr, "%s: could not write the icon to %s\n", argv[0], argv[1]);
    return 1;
  }
  return 0;
}

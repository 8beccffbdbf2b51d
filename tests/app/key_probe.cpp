// A window that prints, for every key pressed in it, the X key code and the game's virtual key
// code for it, as "KEYCODE CODE" lines. The X11 layout test drives it.
#include <QApplication>
#include <QKeyEvent>
#include <QWidget>
#include <cstdio>

#include "app/key_translation.h"

namespace {

class KeyProbe : public QWidget {
 protected:
  void keyPressEvent(QKeyEvent* event) override {
    std::printf("%u %d\n", event->nativeScanCode(), kavarin::VirtualKeyOf(*event));
    std::fflush(stdout);
  }
};

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  KeyProbe probe;
  probe.setWindowTitle("kavarin-key-probe");
  probe.resize(200, 100);
  probe.show();
  return QApplication::exec();
}

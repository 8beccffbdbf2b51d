#include "app/dialogs/how_to_play_dialog.h"

TForm3::TForm3(QWidget* parent) : QDialog(parent) {
  setObjectName("Form3");
}

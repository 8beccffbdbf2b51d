#include "app/dialogs/about_dialog.h"

TForm2::TForm2(QWidget* parent) : QDialog(parent) {
  setObjectName("Form2");
}

void TForm2::Button1Click() {
  accept();
}

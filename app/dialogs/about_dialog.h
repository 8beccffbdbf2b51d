#pragma once

#include <QDialog>

// Version information: the icon, the title, the version and a one-line notice.
// Lives from start-up to the end of the program; shown modally from the menu.
class TForm2 : public QDialog {
  Q_OBJECT

 public:
  explicit TForm2(QWidget* parent = nullptr);

 private:
  void Button1Click();
};

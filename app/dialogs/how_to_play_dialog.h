#pragma once

#include <QDialog>

class QKeyEvent;

// How to play: 21 fixed labels explaining the rules and both players' keys.
// Modeless; it stays open beside the game until its own close button is used.
class TForm3 : public QDialog {
  Q_OBJECT

 public:
  explicit TForm3(QWidget* parent = nullptr);

 protected:
  void keyPressEvent(QKeyEvent* event) override;
};

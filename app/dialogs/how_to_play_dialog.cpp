#include "app/dialogs/how_to_play_dialog.h"

#include <QKeyEvent>
#include <QLabel>

#include "app/captions/caption_text.h"
#include "app/dialogs/dialog_font.h"

TForm3::TForm3(QWidget* parent) : QDialog(parent, DialogBorderFlags()) {
  setObjectName(QStringLiteral("Form3"));
  setWindowTitle(kavarin::CaptionText(kavarin::captions::HowToPlayTitle));
  setFont(DialogFont(12));
  setFixedSize(256, 349);
  move(436, 22);
  for (const kavarin::captions::PlacedLabel& label : kavarin::captions::HowToPlayLabels) {
    PlaceLabel(this, label.name, label.left, label.top, kavarin::CaptionText(label.caption),
               label.headingPixelSize);
  }
}

void TForm3::keyPressEvent(QKeyEvent* event) {
  // The page stays open beside the game until its close button is used, so
  // Escape does not dismiss it; no key it receives reaches the game either.
  event->accept();
}

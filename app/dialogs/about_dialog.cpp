#include "app/dialogs/about_dialog.h"

#include <QLabel>
#include <QPushButton>

#include "app/captions/caption_text.h"
#include "app/dialogs/app_icon.h"
#include "app/dialogs/dialog_font.h"

using kavarin::CaptionText;
namespace captions = kavarin::captions;

TForm2::TForm2(QWidget* parent) : QDialog(parent, DialogBorderFlags()) {
  setObjectName(QStringLiteral("Form2"));
  setWindowTitle(CaptionText(captions::VersionTitle));
  setFont(DialogFont(12));
  setFixedSize(283, 192);
  move(87, 90);
  // While it is open the main window takes no input; the game's timers keep running.
  setWindowModality(Qt::ApplicationModal);

  auto* image = new QLabel(this);
  image->setObjectName(QStringLiteral("Image1"));
  image->setPixmap(AppIconPixmap());
  image->move(32, 32);
  image->adjustSize();

  PlaceLabel(this, "Label1", 80, 32, CaptionText(captions::VersionProduct));
  PlaceLabel(this, "Label2", 128, 56, CaptionText(captions::VersionNumber));
  PlaceLabel(this, "Label4", 128, 80, CaptionText(captions::VersionSound));
  PlaceLabel(this, "Label3", 72, 104, CaptionText(captions::VersionNotice));

  auto* ok = new QPushButton(CaptionText(captions::VersionOk), this);
  ok->setObjectName(QStringLiteral("Button1"));
  ok->setGeometry(104, 128, 75, 25);
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, &TForm2::Button1Click);
}

void TForm2::Button1Click() {
  accept();
}

#include "app/dialogs/dialog_font.h"

#include <QFontDatabase>
#include <QLabel>
#include <QPalette>
#include <QStringList>

QFont DialogFont(int pixel_size) {
  QStringList families = {QStringLiteral("ＭＳ Ｐゴシック"), QStringLiteral("MS PGothic"),
                          QStringLiteral("IPAPGothic")};
  for (const QString& family : QFontDatabase::families(QFontDatabase::Japanese)) {
    if (!families.contains(family)) families.append(family);
  }
  QFont font;
  font.setFamilies(families);
  font.setPixelSize(pixel_size);
  return font;
}

QLabel* PlaceLabel(QWidget* parent, const char* name, int left, int top, const QString& caption,
                   int heading_pixel_size) {
  auto* label = new QLabel(caption, parent);
  label->setObjectName(QString::fromLatin1(name));
  label->setTextFormat(Qt::PlainText);
  if (heading_pixel_size > 0) {
    label->setFont(DialogFont(heading_pixel_size));
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, Qt::black);
    label->setPalette(palette);
  }
  label->move(left, top);
  label->adjustSize();
  return label;
}

Qt::WindowFlags DialogBorderFlags() {
  return Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
         Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint;
}

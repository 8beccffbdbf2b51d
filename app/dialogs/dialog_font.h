#pragma once

#include <QFont>

class QLabel;
class QWidget;

// The dialogs' face: MS PGothic where it exists, otherwise the closest
// proportional Japanese gothic, otherwise any font that has Japanese glyphs.
QFont DialogFont(int pixel_size);

// A label at a fixed place, sized to its text. Headings pass their own pixel size and
// are drawn in black; the others use the dialog's font and window-text colour.
QLabel* PlaceLabel(QWidget* parent, const char* name, int left, int top, const QString& caption,
                   int heading_pixel_size = 0);

// Window flags of a fixed dialog border: title bar with close only, not resizable.
Qt::WindowFlags DialogBorderFlags();

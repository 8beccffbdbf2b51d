#pragma once

#include <QCoreApplication>
#include <QString>

#include "app/captions/captions.h"

namespace kavarin {

// A caption in the language the game shows: the installed translation's text, else the Japanese.
inline QString CaptionText(const captions::Caption& caption) {
  return QCoreApplication::translate(caption.context, caption.text);
}

}  // namespace kavarin

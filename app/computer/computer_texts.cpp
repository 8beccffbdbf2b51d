#include "app/computer/computer_texts.h"

#include "app/captions/caption_text.h"

namespace kavarin {

QString ComputerTitle(int level) {
  switch (level) {
    case 1:
      return CaptionText(captions::ComputerEasyTitle);
    case 3:
      return CaptionText(captions::ComputerStrongTitle);
    default:
      return CaptionText(captions::ComputerFairTitle);
  }
}

}  // namespace kavarin

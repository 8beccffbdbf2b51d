#include "app/computer/computer_texts.h"

namespace kavarin {

QString ComputerTitle(int level) {
  switch (level) {
    case 1:
      return QStringLiteral("Kavarin - コンピュータと対戦 (レベル 1: やさしい)");
    case 3:
      return QStringLiteral("Kavarin - コンピュータと対戦 (レベル 3: つよい)");
    default:
      return QStringLiteral("Kavarin - コンピュータと対戦 (レベル 2: ふつう)");
  }
}

}  // namespace kavarin

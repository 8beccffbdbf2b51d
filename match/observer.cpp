#include "match/observer.h"

namespace kavarin {

Observer& NoObserver() {
  static Observer none;
  return none;
}

}  // namespace kavarin

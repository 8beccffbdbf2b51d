#pragma once

#include "match/observer.h"

namespace kavarin {

// What the platform is shown of an online match: the drawing calls of each newly simulated frame,
// each cue once, and word when a correction has replaced the picture as a whole.
class SessionDisplay : public Observer {
 public:
  virtual void PictureReplaced() {}
};

}  // namespace kavarin

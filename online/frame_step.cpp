#include "online/frame_step.h"

#include "match/keys.h"
#include "match/resets.h"
#include "match/tick.h"

namespace kavarin {

namespace {

void Apply(Match& match, const FrameInput& input) {
  for (const InputEvent& e : input.Events()) {
    switch (e.kind) {
      case EventKind::KeyDown:
        FormKeyDown(match, e.key);
        break;
      case EventKind::KeyUp:
        FormKeyUp(match, e.key);
        break;
      case EventKind::Start:
        Start(match);
        break;
    }
  }
}

}  // namespace

void RunFrame(Match& match, const FrameInput& host, const FrameInput& guest) {
  Apply(match, host);
  Apply(match, guest);
  FireTimer(match);
}

}  // namespace kavarin

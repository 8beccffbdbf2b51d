#pragma once

#include <cstdint>

namespace kavarin {

// Where the main window's keys, controllers and Start go when the game it shows is not its own
// local match: online, they are one player's inputs to the session.
class InputSink {
 public:
  virtual ~InputSink() = default;
  virtual void KeyDown(int32_t code) = 0;
  virtual void KeyUp(int32_t code) = 0;
  virtual void StartCommand() = 0;
};

}  // namespace kavarin

#pragma once

#include <cstdint>
#include <string>

namespace kavarin {

// The record of play in the window's own match, as a kavarin-replay script: every key event as
// the game got it, every Start, and the ticks between them, so that replaying it from the
// window's first state gives the same match.
class OfflineRecord {
 public:
  void KeyDown(int32_t key) { Line("down " + std::to_string(key)); }
  void KeyUp(int32_t key) { Line("up " + std::to_string(key)); }
  void Start() { Line("start"); }
  void Tick() { ++ticks_; }
  // The script so far, ending with "state" so that replaying it prints where it ended.
  std::string Script() const;

 private:
  void Line(const std::string& line);
  std::string text_;
  int64_t ticks_ = 0;  // ticks since the last line, written as one "tick N"
};

}  // namespace kavarin

#pragma once

#include <cstdint>
#include <string>

namespace kavarin {

// The inputs of a match played in the page, as a kavarin-replay script that replays it exactly:
// key events and Start as they reached the game, and every timer firing, runs of them joined
// as "tick N". Written as it goes, so that it can be cut at any moment.
class LocalRecord {
 public:
  LocalRecord();

  void KeyDown(int32_t code);
  void KeyUp(int32_t code);
  void Start();
  void Tick();

  // Remembers the script so far as what the field now shows.
  void MarkShown();
  // The script up to the last mark, ending with "state".
  std::string Shown() const;

 private:
  void Line(const std::string& line);

  std::string lines_;
  int64_t ticks_ = 0;  // firings since the last line written
  // The mark: the lines written then, and the firings after them. Lines written later begin
  // with those firings, so the mark stays a prefix and costs nothing to move every frame.
  size_t shownLines_ = 0;
  int64_t shownTicks_ = 0;
};

}  // namespace kavarin

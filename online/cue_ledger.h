#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

namespace kavarin {

// Which cues each recent frame has had heard, so that a cue is heard once for the frame that
// made it, however often that frame is simulated again. A correction can reveal a cue that the
// predicted frame did not make; it is still heard, unless a cue of a later frame has been heard
// since (the newest cue wins, as offline, and it would have cut the older one off) or its frame
// has left the window of frames that can still change.
class CueLedger {
 public:
  // At most this many cues can start in one tick.
  static constexpr int MaxPerFrame = 6;
  static constexpr int64_t Frames = 16;

  // The cues frame `frame` made this time it was simulated, in order; calls play(name) for each
  // one to be heard now.
  template <typename Play>
  void Simulated(int64_t frame, std::span<const std::string_view> cues, int64_t oldestOpen,
                 Play&& play) {
    Entry& e = entries_[static_cast<size_t>(frame % Frames)];
    if (e.frame != frame) e = Entry{.frame = frame};
    std::array<bool, MaxPerFrame> matched{};
    for (std::string_view cue : cues) {
      if (Heard(e, cue, matched)) continue;
      if (frame < lastHeard_ || frame < oldestOpen || e.count == MaxPerFrame) continue;
      e.names[static_cast<size_t>(e.count)] = cue;
      matched[static_cast<size_t>(e.count)] = true;
      ++e.count;
      lastHeard_ = frame;
      play(cue);
    }
  }

 private:
  struct Entry {
    int64_t frame = -1;
    int count = 0;
    std::array<std::string_view, MaxPerFrame> names{};
  };

  // Whether this cue was heard for the frame already, each heard cue answering for one cue made.
  static bool Heard(const Entry& e, std::string_view cue, std::array<bool, MaxPerFrame>& matched) {
    for (int i = 0; i < e.count; ++i) {
      if (!matched[static_cast<size_t>(i)] && e.names[static_cast<size_t>(i)] == cue) {
        matched[static_cast<size_t>(i)] = true;
        return true;
      }
    }
    return false;
  }

  std::array<Entry, Frames> entries_{};
  int64_t lastHeard_ = -1;
};

}  // namespace kavarin

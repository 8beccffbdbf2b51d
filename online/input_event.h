#pragma once

#include <array>
#include <cstdint>
#include <span>

namespace kavarin {

// The two machines of an online match. The host flies the left ship, the guest the right one.
enum class Player : uint8_t { Host = 0, Guest = 1 };

constexpr Player OtherPlayer(Player p) {
  return p == Player::Host ? Player::Guest : Player::Host;
}

// One thing a player did: a key pressed or released (its virtual key code), or Start.
enum class EventKind : uint8_t { KeyDown = 0, KeyUp = 1, Start = 2 };

struct InputEvent {
  EventKind kind;
  uint16_t key;  // 0 for Start
  bool operator==(const InputEvent&) const = default;
};

// No person makes more key events than this in a 60th of a second; more are carried into the next
// frame, so none is lost.
constexpr int MaxEventsPerFrame = 8;

// One player's events in one frame, in the order they were made. A plain value with no heap.
class FrameInput {
 public:
  bool Full() const { return count_ == MaxEventsPerFrame; }
  bool Empty() const { return count_ == 0; }
  int Size() const { return count_; }
  // False, and nothing added, when the frame is full.
  bool Add(InputEvent e) {
    if (Full()) return false;
    events_[count_++] = e;
    return true;
  }
  std::span<const InputEvent> Events() const {
    return {events_.data(), static_cast<size_t>(count_)};
  }
  bool operator==(const FrameInput& o) const {
    for (int i = 0; i < count_ && i < o.count_; ++i)
      if (!(events_[i] == o.events_[i])) return false;
    return count_ == o.count_;
  }

 private:
  std::array<InputEvent, MaxEventsPerFrame> events_{};
  int count_ = 0;
};

}  // namespace kavarin

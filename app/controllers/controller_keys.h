#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>

namespace kavarin {

// The controller inputs the game listens to, named after SDL's game-controller layout.
enum class PadButton { Up, Down, FaceSouth, FaceEast, FaceWest, FaceNorth, Start };

// How a held key repeats: the first repeat `delay` after the press, then one every `interval`.
// An interval of zero means keys do not repeat.
struct KeyRepeat {
  std::chrono::nanoseconds delay{};
  std::chrono::nanoseconds interval{};
};

// Turns game-controller changes into the key-downs and key-ups the keyboard would give. The first
// controller to connect takes the left ship's seat, the next the right one's; a controller that
// connects while both are taken gets no seat and its input is ignored, even after a seat frees.
// A pulled controller's seat waits empty for the next controller to connect.
//
// Per seat: D-pad or left stick up and down are the up and down keys; any face button is the
// fire key, which repeats while one is held, as a held key does; Start is Space. Changes of one
// call go out key-ups first, so a stick swung straight from up to down leaves the ship thrusting
// down. Time is passed in (a steady clock's time since its epoch), so the rules can be driven by
// hand.
class ControllerKeys {
 public:
  using Time = std::chrono::nanoseconds;
  using Send = std::function<void(bool down, int32_t code)>;

  // The stick's dead zone on its vertical axis (SDL's range, -32768..32767, negative up): it
  // counts as pushed once past half-way, and as let go once back inside three-eighths. The gap
  // keeps a stick resting near the edge from chattering.
  static constexpr int32_t StickPushed = 16384;
  static constexpr int32_t StickLetGo = 12288;

  ControllerKeys(Send send, KeyRepeat repeat);

  // Repeats started from now on follow `repeat`.
  void SetRepeat(KeyRepeat repeat) { repeat_ = repeat; }

  // A controller connected; returns whether it took a seat. Connecting twice changes nothing.
  bool Connect(int32_t id);
  // A controller pulled out: key-ups for whatever it held, and its seat is free.
  void Disconnect(int32_t id);
  bool Seated(int32_t id) const { return SeatOf(id) != nullptr; }
  int SeatCount() const;

  // A button or the stick's vertical axis changed. Controllers without a seat are ignored.
  void Button(int32_t id, PadButton button, bool pressed, Time now);
  void StickY(int32_t id, int32_t value);

  // Sends the fire repeats that are due at `now`: at most one per seat, so a late call never
  // fires a burst.
  void RunDue(Time now);
  // When the next fire repeat falls due, or nothing while no fire button is held.
  std::optional<Time> NextRepeat() const;

 private:
  struct Seat {
    std::optional<int32_t> id;
    bool dpadUp = false;
    bool dpadDown = false;
    int stick = 0;  // -1 pushed up, 1 pushed down, 0 at rest
    uint8_t faces = 0;
    bool start = false;
    Time nextFire{};

    bool Up() const { return dpadUp || stick < 0; }
    bool Down() const { return dpadDown || stick > 0; }
  };

  Seat* SeatOf(int32_t id);
  const Seat* SeatOf(int32_t id) const;
  void Move(Seat& seat, bool wasUp, bool wasDown);
  int32_t Code(const Seat& seat, PadButton button) const;

  Send send_;
  KeyRepeat repeat_;
  std::array<Seat, 2> seats_;  // left, right
};

}  // namespace kavarin

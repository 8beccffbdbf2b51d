#include "app/controllers/controller_keys.h"

#include <utility>

#include "match/keys.h"

namespace kavarin {
namespace {

// The first seat flies the left ship, the second the right one, with that player's keys.
constexpr std::array<Side, 2> SeatSides = {Side::Left, Side::Right};

uint8_t FaceBit(PadButton button) {
  switch (button) {
    case PadButton::FaceSouth:
      return 1;
    case PadButton::FaceEast:
      return 2;
    case PadButton::FaceWest:
      return 4;
    case PadButton::FaceNorth:
      return 8;
    default:
      return 0;
  }
}

}  // namespace

ControllerKeys::ControllerKeys(Send send, KeyRepeat repeat)
    : send_(std::move(send)), repeat_(repeat) {}

ControllerKeys::Seat* ControllerKeys::SeatOf(int32_t id) {
  for (Seat& seat : seats_)
    if (seat.id == id) return &seat;
  return nullptr;
}

const ControllerKeys::Seat* ControllerKeys::SeatOf(int32_t id) const {
  for (const Seat& seat : seats_)
    if (seat.id == id) return &seat;
  return nullptr;
}

int ControllerKeys::SeatCount() const {
  int n = 0;
  for (const Seat& seat : seats_) n += seat.id.has_value();
  return n;
}

int32_t ControllerKeys::Code(const Seat& seat, PadButton button) const {
  const PlayerKeys& keys = KeysOf[SeatSides[&seat == &seats_[0] ? 0 : 1]];
  if (button == PadButton::Up) return keys.up;
  if (button == PadButton::Down) return keys.down;
  if (button == PadButton::Start) return VkSpace;
  return keys.fire;
}

bool ControllerKeys::Connect(int32_t id) {
  if (Seated(id)) return true;
  for (Seat& seat : seats_) {
    if (seat.id) continue;
    seat = Seat{};
    seat.id = id;
    return true;
  }
  return false;
}

void ControllerKeys::Disconnect(int32_t id) {
  Seat* seat = SeatOf(id);
  if (seat == nullptr) return;
  if (seat->Up()) send_(false, Code(*seat, PadButton::Up));
  if (seat->Down()) send_(false, Code(*seat, PadButton::Down));
  if (seat->faces != 0) send_(false, Code(*seat, PadButton::FaceSouth));
  if (seat->start) send_(false, VkSpace);
  *seat = Seat{};
}

void ControllerKeys::Move(Seat& seat, bool wasUp, bool wasDown) {
  if (wasUp && !seat.Up()) send_(false, Code(seat, PadButton::Up));
  if (wasDown && !seat.Down()) send_(false, Code(seat, PadButton::Down));
  if (!wasUp && seat.Up()) send_(true, Code(seat, PadButton::Up));
  if (!wasDown && seat.Down()) send_(true, Code(seat, PadButton::Down));
}

void ControllerKeys::Button(int32_t id, PadButton button, bool pressed, Time now) {
  Seat* seat = SeatOf(id);
  if (seat == nullptr) return;
  const bool wasUp = seat->Up();
  const bool wasDown = seat->Down();
  if (button == PadButton::Up) seat->dpadUp = pressed;
  if (button == PadButton::Down) seat->dpadDown = pressed;
  Move(*seat, wasUp, wasDown);

  if (button == PadButton::Start && pressed != seat->start) {
    seat->start = pressed;
    send_(pressed, VkSpace);
  }

  const uint8_t bit = FaceBit(button);
  if (bit == 0 || pressed == ((seat->faces & bit) != 0)) return;
  if (pressed) {
    // Each face button pressed fires, even while another is held; the key is let go only when
    // the last of them is.
    seat->faces |= bit;
    seat->nextFire = now + repeat_.delay;
    send_(true, Code(*seat, button));
  } else {
    seat->faces &= static_cast<uint8_t>(~bit);
    if (seat->faces == 0) send_(false, Code(*seat, button));
  }
}

void ControllerKeys::StickY(int32_t id, int32_t value) {
  Seat* seat = SeatOf(id);
  if (seat == nullptr) return;
  const bool wasUp = seat->Up();
  const bool wasDown = seat->Down();
  if (seat->stick < 0 && value > -StickLetGo) seat->stick = 0;
  if (seat->stick > 0 && value < StickLetGo) seat->stick = 0;
  if (value <= -StickPushed) seat->stick = -1;
  if (value >= StickPushed) seat->stick = 1;
  Move(*seat, wasUp, wasDown);
}

void ControllerKeys::RunDue(Time now) {
  if (repeat_.interval <= Time::zero()) return;
  for (Seat& seat : seats_) {
    if (seat.faces == 0 || now < seat.nextFire) continue;
    seat.nextFire += repeat_.interval;
    // After a stall the repeats go on from now rather than catch up.
    if (seat.nextFire <= now) seat.nextFire = now + repeat_.interval;
    send_(true, Code(seat, PadButton::FaceSouth));
  }
}

std::optional<ControllerKeys::Time> ControllerKeys::NextRepeat() const {
  if (repeat_.interval <= Time::zero()) return std::nullopt;
  std::optional<Time> next;
  for (const Seat& seat : seats_) {
    if (seat.faces != 0 && (!next || seat.nextFire < *next)) next = seat.nextFire;
  }
  return next;
}

}  // namespace kavarin

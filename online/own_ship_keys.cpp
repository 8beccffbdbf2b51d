#include "online/own_ship_keys.h"

#include "match/keys.h"

namespace kavarin {

namespace {

// The same key of the other player: up for up, down for down, fire for fire.
std::optional<int32_t> OwnKey(Side own, int32_t key) {
  const PlayerKeys& mine = KeysOf[own];
  const PlayerKeys& theirs = KeysOf[Opponent(own)];
  if (key == mine.up || key == mine.otherUp || key == mine.down || key == mine.fire) return key;
  if (key == theirs.up) return mine.up;
  if (key == theirs.otherUp) return mine.otherUp;
  if (key == theirs.down) return mine.down;
  if (key == theirs.fire) return mine.fire;
  if (key == VkSpace) return key;
  return std::nullopt;
}

}  // namespace

std::optional<InputEvent> ForOwnShip(Player player, InputEvent event) {
  if (event.kind == EventKind::Start) return InputEvent{EventKind::Start, 0};
  const Side own = player == Player::Host ? Side::Left : Side::Right;
  const std::optional<int32_t> key = OwnKey(own, event.key);
  if (!key) return std::nullopt;
  return InputEvent{event.kind, static_cast<uint16_t>(*key)};
}

}  // namespace kavarin

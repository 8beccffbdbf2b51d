#pragma once

#include <cstdint>
#include <optional>

#include "online/input_event.h"

namespace kavarin {

// Each player flies their own ship from the whole keyboard: the other ship's movement and fire
// keys act as their own. The host's events are mapped to the left ship, the guest's to the right
// one; Space and Start pass as they are. Every other key does nothing in the game and is dropped.
std::optional<InputEvent> ForOwnShip(Player player, InputEvent event);

}  // namespace kavarin

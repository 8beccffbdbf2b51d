#pragma once

#include <optional>

#include "online/lobby_guest_link.h"
#include "online/lobby_host_link.h"
#include "online/transport.h"

namespace kavarin {

// Which way a link met through the lobby goes, once linked; nothing for any other link.
inline std::optional<LinkPath> LobbyPathOf(const Transport& link) {
  if (const auto* host = dynamic_cast<const LobbyHostLink*>(&link)) return host->Path();
  if (const auto* guest = dynamic_cast<const LobbyGuestLink*>(&link)) return guest->Path();
  return std::nullopt;
}

}  // namespace kavarin

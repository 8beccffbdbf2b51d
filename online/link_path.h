#pragma once

namespace kavarin {

// Which way a link met through the lobby reaches the other player: its address on our own
// network, its public address through both routers, or a TURN relay.
enum class LinkPath { Lan, Direct, Relayed };

inline const char* LinkPathName(LinkPath path) {
  switch (path) {
    case LinkPath::Lan:
      return "LAN";
    case LinkPath::Direct:
      return "direct";
    case LinkPath::Relayed:
      return "relayed";
  }
  return "";
}

}  // namespace kavarin

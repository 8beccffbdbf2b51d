#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <string>

#include "lobby/lobby_client.h"
#include "online/enet_guest_link.h"
#include "online/link_path.h"

namespace kavarin {

// A guest that joins a room of kavarin-lobby by its code and then knocks, as EnetGuestLink does,
// on the host's addresses the lobby gave: those on the host's own network and its public one at
// once. The first to answer is taken, the host's own network's in a tie. It speaks to the lobby
// and knocks from the same socket, which the host's punches let through our router. When no
// knock is answered within 2 s and the lobby gave TURN credentials, it takes a relayed address
// from the TURN server, tells the lobby (so that the host punches it) and knocks through the
// relay: on the host's public address, and on the port the host's punches come from through it
// (a router that gives each destination a port of its own).
class LobbyGuestLink : public EnetGuestLink {
 public:
  // Null, with `error` set, when no socket can be opened.
  static std::unique_ptr<LobbyGuestLink> Open(const UdpAddress& lobby, const RoomCode& code,
                                              std::string& error);
  // Once linked.
  std::optional<LinkPath> Path() const;

 private:
  using EnetGuestLink::EnetGuestLink;
  std::optional<LinkSeal> AdmitRelayed(const UdpAddress& from,
                                       std::span<const uint8_t> datagram) override;
  void BeforeService() override;
  // The host's candidates from the lobby's meeting: its local addresses first, its public one
  // last.
  void Met(const RoomMet& met);
  // The TURN server's part: started, its relayed address told, the host's punches heard.
  void Relay(std::chrono::steady_clock::time_point now);
  void HeardThroughRelay(const UdpAddress& from, std::span<const uint8_t> datagram);

  std::optional<LobbyClient> lobby_;
  size_t localCandidates_ = 0;
  std::chrono::steady_clock::time_point metAt_{};
  bool published_ = false;
};

}  // namespace kavarin

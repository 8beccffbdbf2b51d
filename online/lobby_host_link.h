#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <string>

#include "lobby/lobby_client.h"
#include "online/enet_host_link.h"
#include "online/link_path.h"

namespace kavarin {

// A host that asks kavarin-lobby for a room and waits in its connect gate, as EnetHostLink does,
// for the guest who comes with the room's code. It speaks to the lobby from the relay's own
// socket, so that the lobby tells the guest the address our router gave that socket; once the
// two have met it punches every 250 ms towards the guest's addresses (on its network, public,
// relayed), so that our router lets the guest's knocks in. The gate's checks are unchanged:
// nothing but a knock, or a sealed datagram with its cookie, reaches ENet.
class LobbyHostLink : public EnetHostLink {
 public:
  // Null, with `error` set, when no socket can be opened.
  static std::unique_ptr<LobbyHostLink> Open(const UdpAddress& lobby, std::string& error);

  // Once the lobby has given us a room.
  const std::optional<RoomCode>& Code() const { return lobby_.Code(); }
  // Once a guest is linked.
  std::optional<LinkPath> Path() const;
  std::string Failure() const override { return failure_; }

 private:
  LobbyHostLink(_ENetHost* host, LobbyClient lobby);
  std::optional<LinkSeal> AdmitRelayed(const UdpAddress& from,
                                       std::span<const uint8_t> datagram) override;
  void BeforeService() override;

  LobbyClient lobby_;
  std::string failure_;
  std::chrono::steady_clock::time_point lastPunch_{};
};

}  // namespace kavarin

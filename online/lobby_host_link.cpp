#include "online/lobby_host_link.h"

#include <enet/enet.h>

#include <algorithm>

#include "online/local_addresses.h"
#include "online/punch.h"

namespace kavarin {

LobbyHostLink::LobbyHostLink(_ENetHost* host, LobbyClient lobby)
    : EnetHostLink(host), lobby_(std::move(lobby)) {}

std::unique_ptr<LobbyHostLink> LobbyHostLink::Open(const UdpAddress& lobby, std::string& error) {
  ENetHost* host = LoopbackEnetHost(error);
  if (host == nullptr) return nullptr;
  // The local addresses need the port, which the relay's socket has only once it is open: the
  // client is made again with them below.
  std::unique_ptr<LobbyHostLink> t(new LobbyHostLink(host, LobbyClient::NewRoom(lobby, {})));
  if (!t->Start(0, "", error)) return nullptr;
  t->lobby_ =
      LobbyClient::NewRoom(lobby, LocalAddresses(lobby.Family(), t->Port(), MaxLocalAddresses));
  if (t->lobby_.State() == LobbyClient::Stage::Failed) {
    error = t->lobby_.Failure();
    return nullptr;
  }
  return t;
}

std::optional<LinkSeal> LobbyHostLink::AdmitRelayed(const UdpAddress& from,
                                                    std::span<const uint8_t> datagram) {
  if (from == lobby_.Lobby() && LooksLikeLobby(datagram)) {
    lobby_.Take(datagram, std::chrono::steady_clock::now());
    return std::nullopt;
  }
  return EnetHostLink::AdmitRelayed(from, datagram);
}

void LobbyHostLink::BeforeService() {
  if (link_ == LinkState::Closed) return;
  const auto now = std::chrono::steady_clock::now();
  // A linked guest has used the room: the lobby is told nothing more, once it has said who
  // the guest is (a guest on our network may be linked before our next poll).
  if (link_ == LinkState::Connected && lobby_.State() == LobbyClient::Stage::Met) lobby_.Stop();
  if (const auto request = lobby_.Due(now)) SendRelayed(lobby_.Lobby(), *request);
  const LobbyClient::Stage stage = lobby_.State();
  if (stage == LobbyClient::Stage::Failed || stage == LobbyClient::Stage::NoRoom) {
    if (!everConnected_ && link_ == LinkState::Waiting) {
      failure_ = lobby_.Failure();
      link_ = LinkState::Closed;
    }
    return;
  }
  if (stage != LobbyClient::Stage::Met || relay_->Far() || now - lastPunch_ < PunchEvery) return;
  lastPunch_ = now;
  const PlayerAddresses& guest = lobby_.Meeting()->other;
  for (const UdpAddress& to : guest.local) SendRelayed(to, PunchDatagram);
  SendRelayed(guest.seen, PunchDatagram);
  if (guest.relayed) SendRelayed(*guest.relayed, PunchDatagram);
}

std::optional<LinkPath> LobbyHostLink::Path() const {
  if (!relay_ || !relay_->Far() || !lobby_.Meeting()) return std::nullopt;
  const UdpAddress& far = *relay_->Far();
  const PlayerAddresses& guest = lobby_.Meeting()->other;
  if (guest.relayed && far == *guest.relayed) return LinkPath::Relayed;
  if (std::find(guest.local.begin(), guest.local.end(), far) != guest.local.end() &&
      !(far == guest.seen))
    return LinkPath::Lan;
  return LinkPath::Direct;
}

}  // namespace kavarin

#include "online/lobby_guest_link.h"

#include <enet/enet.h>

#include <algorithm>
#include <cerrno>

#include "online/local_addresses.h"

namespace kavarin {

std::unique_ptr<LobbyGuestLink> LobbyGuestLink::Open(const UdpAddress& lobby, const RoomCode& code,
                                                     std::string& error) {
  ENetHost* host = LoopbackEnetHost(error);
  if (host == nullptr) return nullptr;
  std::unique_ptr<LobbyGuestLink> t(new LobbyGuestLink(host));
  if (!t->WatchReady()) {
    error = "cannot watch the network sockets" + ErrnoReason(errno);
    return nullptr;
  }
  t->pair_ = KeyPair::Random();
  // One socket of the lobby's family: the host is reached through the addresses the lobby saw.
  const UdpAddress any = lobby.Family() == AF_INET6 ? UdpAddress::V6(in6addr_any, 0)
                                                    : UdpAddress::V4(htonl(INADDR_ANY), 0);
  int failure = 0, family = 0;
  t->OpenRelay(std::span(&any, 1), false, failure, family);
  if (!t->relay_) {
    error = "cannot open a UDP socket" + ErrnoReason(failure);
    return nullptr;
  }
  t->lobby_ = LobbyClient::Join(
      lobby, code, LocalAddresses(lobby.Family(), t->relay_->OuterPort(), MaxLocalAddresses));
  if (t->lobby_->State() == LobbyClient::Stage::Failed) {
    error = t->lobby_->Failure();
    return nullptr;
  }
  return t;
}

std::optional<LinkSeal> LobbyGuestLink::AdmitRelayed(const UdpAddress& from,
                                                     std::span<const uint8_t> datagram) {
  if (from == lobby_->Lobby() && LooksLikeLobby(datagram)) {
    lobby_->Take(datagram, std::chrono::steady_clock::now());
    return std::nullopt;
  }
  return EnetGuestLink::AdmitRelayed(from, datagram);
}

void LobbyGuestLink::Met(const RoomMet& met) {
  for (const UdpAddress& a : met.other.local)
    if (!(a == met.other.seen) && candidates_.size() < MaxLocalAddresses) candidates_.push_back(a);
  localCandidates_ = candidates_.size();
  candidates_.push_back(met.other.seen);
}

void LobbyGuestLink::BeforeService() {
  if (link_ == LinkState::Closed) return;
  if (link_ == LinkState::Connected) lobby_->Stop();
  if (const auto request = lobby_->Due(std::chrono::steady_clock::now()))
    SendRelayed(lobby_->Lobby(), *request);
  const LobbyClient::Stage stage = lobby_->State();
  if ((stage == LobbyClient::Stage::Failed || stage == LobbyClient::Stage::NoRoom) &&
      peer_ == nullptr) {
    failure_ = lobby_->Failure();
    link_ = LinkState::Closed;
    return;
  }
  if (stage == LobbyClient::Stage::Met && candidates_.empty()) Met(*lobby_->Meeting());
  // Nothing to knock on before the lobby says where.
  if (!candidates_.empty()) EnetGuestLink::BeforeService();
}

std::optional<LinkPath> LobbyGuestLink::Path() const {
  if (answered_ < 0) return std::nullopt;
  return static_cast<size_t>(answered_) < localCandidates_ ? LinkPath::Lan : LinkPath::Direct;
}

}  // namespace kavarin

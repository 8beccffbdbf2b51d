#include "online/lobby_guest_link.h"

#include <enet/enet.h>

#include <algorithm>
#include <cerrno>

#include "online/local_addresses.h"
#include "online/punch.h"
#include "online/turn_client.h"

namespace kavarin {

namespace {

// How long the host's own network and its public address are given before the relay.
constexpr auto DirectFor = std::chrono::seconds(2);

bool SameHost(const UdpAddress& a, const UdpAddress& b) {
  return a.WithPort(0) == b.WithPort(0);
}

}  // namespace

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
  HeardThroughRelay(from, datagram);
  return EnetGuestLink::AdmitRelayed(from, datagram);
}

void LobbyGuestLink::Met(const RoomMet& met) {
  for (const UdpAddress& a : met.other.local)
    if (!(a == met.other.seen) && candidates_.size() < MaxLocalAddresses) candidates_.push_back(a);
  localCandidates_ = candidates_.size();
  candidates_.push_back(met.other.seen);
  metAt_ = std::chrono::steady_clock::now();
}

void LobbyGuestLink::Relay(std::chrono::steady_clock::time_point now) {
  const RoomMet& met = *lobby_->Meeting();
  if (!met.turn || answered_ >= 0 || peer_ != nullptr) return;
  TurnClient* turn = relay_->Turn();
  if (turn == nullptr) {
    if (now - metAt_ < DirectFor) return;
    auto client =
        std::make_unique<TurnClient>(met.turn->server, met.turn->username, met.turn->password);
    // From now on the knocks on the host's public address go through the relay.
    client->AllowAnyPort(met.other.seen);
    relay_->Route(std::move(client));
    return;
  }
  if (!published_ && turn->State() == TurnClient::Stage::Ready && turn->Relayed()) {
    published_ = true;
    lobby_->PublishRelayed(*turn->Relayed());
  }
}

void LobbyGuestLink::HeardThroughRelay(const UdpAddress& from, std::span<const uint8_t> datagram) {
  TurnClient* turn = relay_->Turn();
  if (turn == nullptr || !lobby_->Meeting() || !IsPunch(datagram)) return;
  // A host behind a router that gives each destination a port of its own punches our relay from
  // a port the lobby never saw: that port is where its router lets our knocks in.
  const UdpAddress& seen = lobby_->Meeting()->other.seen;
  if (!SameHost(from, seen) ||
      std::find(candidates_.begin(), candidates_.end(), from) != candidates_.end())
    return;
  if (candidates_.size() < 2 * MaxLocalAddresses) candidates_.push_back(from);
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
  if (stage == LobbyClient::Stage::Met) Relay(std::chrono::steady_clock::now());
  // Nothing to knock on before the lobby says where.
  if (!candidates_.empty()) EnetGuestLink::BeforeService();
}

std::optional<LinkPath> LobbyGuestLink::Path() const {
  if (answered_ < 0) return std::nullopt;
  const TurnClient* turn = relay_->Turn();
  if (turn != nullptr && turn->Carries(candidates_[static_cast<size_t>(answered_)]))
    return LinkPath::Relayed;
  return static_cast<size_t>(answered_) < localCandidates_ ? LinkPath::Lan : LinkPath::Direct;
}

}  // namespace kavarin

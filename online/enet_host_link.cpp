#include "online/enet_host_link.h"

#include <enet/enet.h>

#include <algorithm>
#include <cerrno>

namespace kavarin {

namespace {

// Ports the system picks for ENet before one is found free on IPv6 as well.
constexpr int PortTries = 16;
constexpr size_t MaxLinkedBefore = 256;

}  // namespace

std::unique_ptr<EnetTransport> EnetTransport::Listen(uint16_t port, std::string& error,
                                                     const std::string& bindAddress) {
  return EnetHostLink::Listen(port, error, bindAddress);
}

_ENetHost* LoopbackEnetHost(std::string& error) {
  if (!EnetReady(error)) return nullptr;
  if (!SealReady()) {
    error = "cannot start the library that seals the link";
    return nullptr;
  }
  // ENet's socket hears only the relay.
  const ENetAddress loopback{htonl(INADDR_LOOPBACK), 0};
  errno = 0;
  ENetHost* host = enet_host_create(&loopback, 1, 1, 0, 0);
  if (host == nullptr) error = "cannot open a UDP socket" + ErrnoReason(errno);
  return host;
}

std::unique_ptr<EnetHostLink> EnetHostLink::Listen(uint16_t port, std::string& error,
                                                   const std::string& bindAddress) {
  ENetHost* host = LoopbackEnetHost(error);
  if (host == nullptr) return nullptr;
  std::unique_ptr<EnetHostLink> t(new EnetHostLink(host));
  if (!t->Start(port, bindAddress, error)) return nullptr;
  return t;
}

bool EnetHostLink::Start(uint16_t port, const std::string& bindAddress, std::string& error) {
  if (!WatchReady()) {
    error = "cannot watch the network sockets" + ErrnoReason(errno);
    return false;
  }
  std::optional<UdpAddress> at;
  if (!bindAddress.empty() && !(at = NumericAddress(bindAddress, port))) {
    error = "'" + bindAddress + "' is not an IPv4 or IPv6 address";
    return false;
  }
  bool v4 = !at || at->Family() == AF_INET;
  bool v6 = !at || at->Family() == AF_INET6;
  key_ = RandomCookieKey();
  pair_ = KeyPair::Random();
  for (int attempt = 1;; ++attempt) {
    std::vector<UdpAddress> outers;
    if (v4) outers.push_back(at ? *at : UdpAddress::V4(htonl(INADDR_ANY), port));
    if (v6) outers.push_back(at ? *at : UdpAddress::V6(in6addr_any, port));
    int failure = 0, family = 0;
    OpenRelay(outers, true, failure, family);
    if (relay_) {
      port_ = relay_->OuterPort();
      return true;
    }
    if (v4 && v6 && family == AF_INET6) {
      // The port the system picked for IPv4 is taken on IPv6: ask for another.
      if (port == 0 && failure == EADDRINUSE && attempt < PortTries) continue;
      // A machine without IPv6 waits on IPv4 alone.
      if (failure == EAFNOSUPPORT || failure == EADDRNOTAVAIL) {
        v6 = false;
        continue;
      }
    }
    error = "cannot listen on UDP port " + std::to_string(port) +
            (family == AF_INET6 && v4 ? " over IPv6" : "") + ErrnoReason(failure);
    return false;
  }
}

std::optional<LinkSeal> EnetHostLink::AdmitRelayed(const UdpAddress& from,
                                                   std::span<const uint8_t> datagram) {
  if (!everConnected_ && host_->peers[0].state == ENET_PEER_STATE_DISCONNECTED) {
    if (const std::optional<PublicKey> guest = KnockKey(datagram)) {
      // One answer per knock, smaller than the knock, and nothing kept.
      if (SendRelayed(from, CookieDatagram({AddressCookie(key_, from, *guest), pair_.publicKey})))
        ++counters_.knocksAnswered;
      return std::nullopt;
    }
    const std::optional<Introduction> intro = IntroductionOf(datagram);
    // The cookie first: deriving keys costs more than checking it.
    if (intro && intro->cookie == AddressCookie(key_, from, intro->guestKey) &&
        std::find(linkedBefore_.begin(), linkedBefore_.end(), intro->guestKey) ==
            linkedBefore_.end()) {
      if (const std::optional<LinkKeys> keys = HostKeys(pair_, intro->guestKey)) {
        offered_ = intro->guestKey;
        return LinkSeal(*keys, std::nullopt, intro->guestKey);
      }
    }
  }
  ++counters_.strangersDropped;
  return std::nullopt;
}

void EnetHostLink::AfterService() {
  const ENetPeer& slot = host_->peers[0];
  if (relay_->Far() && offered_) {
    // Enough for any honest guest; a flood of them, each a knock and a sealed datagram from an
    // address of its own, forgets the oldest.
    if (linkedBefore_.size() == MaxLinkedBefore) linkedBefore_.erase(linkedBefore_.begin());
    linkedBefore_.push_back(*offered_);
    offered_.reset();
  }
  if (link_ == LinkState::Waiting && slot.state != ENET_PEER_STATE_DISCONNECTED)
    link_ = LinkState::Connecting;
  // A guest that never finished connecting leaves the host waiting for another.
  if (link_ == LinkState::Connecting && slot.state == ENET_PEER_STATE_DISCONNECTED)
    link_ = LinkState::Waiting;
  // The relay stays linked only while ENet has a peer: a guest that never finished connecting
  // leaves room for another.
  if (relay_->Far() && slot.state == ENET_PEER_STATE_DISCONNECTED && link_ != LinkState::Closed)
    relay_->Unlink();
}

std::string EnetHostLink::PeerAddress() const {
  if (relay_ && relay_->Far()) return AddressText(*relay_->Far());
  return {};
}

}  // namespace kavarin

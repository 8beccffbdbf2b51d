#include "online/enet_host_link.h"

#include <enet/enet.h>

#include <cerrno>

namespace kavarin {

namespace {

// Ports the system picks for ENet before one is found free on IPv6 as well.
constexpr int PortTries = 16;

}  // namespace

std::unique_ptr<EnetTransport> EnetTransport::Listen(uint16_t port, std::string& error,
                                                     const std::string& bindAddress) {
  return EnetHostLink::Listen(port, error, bindAddress);
}

std::unique_ptr<EnetHostLink> EnetHostLink::Listen(uint16_t port, std::string& error,
                                                   const std::string& bindAddress) {
  if (!EnetReady(error)) return nullptr;
  std::optional<UdpAddress> at;
  if (!bindAddress.empty() && !(at = NumericAddress(bindAddress, port))) {
    error = "'" + bindAddress + "' is not an IPv4 or IPv6 address";
    return nullptr;
  }
  const bool v4 = !at || at->Family() == AF_INET;
  const bool v6 = !at || at->Family() == AF_INET6;
  for (int attempt = 1;; ++attempt) {
    // For IPv6 alone, ENet's socket is on loopback, any port, where nothing from outside this
    // machine reaches it.
    ENetAddress enetAt{ENET_HOST_ANY, port};
    if (at && v4) enetAt.host = at->V4Host();
    if (!v4) enetAt = {htonl(INADDR_LOOPBACK), 0};
    errno = 0;
    ENetHost* host = enet_host_create(&enetAt, 1, 1, 0, 0);
    if (host == nullptr) {
      error = "cannot listen on UDP port " + std::to_string(port) + ErrnoReason(errno);
      return nullptr;
    }
    std::unique_ptr<EnetHostLink> t(new EnetHostLink(host));
    if (!t->WatchReady()) {
      error = "cannot watch the network sockets" + ErrnoReason(errno);
      return nullptr;
    }
    t->key_ = RandomCookieKey();
    t->port_ = EnetSocketPort(host);
    if (!v6) return t;
    // The same port on IPv6 as on IPv4.
    const UdpAddress outer = at ? *at : UdpAddress::V6(in6addr_any, t->port_);
    const UdpAddress near = UdpAddress::V4(
        enetAt.host == ENET_HOST_ANY ? htonl(INADDR_LOOPBACK) : enetAt.host, EnetSocketPort(host));
    int failure = 0;
    t->OpenRelay(outer, near, failure);
    if (t->relay_) {
      if (!v4) t->port_ = t->relay_->OuterPort();
      return t;
    }
    // The port the system picked for IPv4 is taken on IPv6: ask for another.
    if (v4 && port == 0 && failure == EADDRINUSE && attempt < PortTries) continue;
    // A machine without IPv6 waits on IPv4 alone.
    if (v4 && (failure == EAFNOSUPPORT || failure == EADDRNOTAVAIL)) return t;
    error = "cannot listen on UDP port " + std::to_string(v4 ? t->port_ : port) + " over IPv6" +
            ErrnoReason(failure);
    return nullptr;
  }
}

bool EnetHostLink::Admit(std::span<const uint8_t> datagram) {
  const ENetAddress& from = host_->receivedAddress;
  const ENetPeer& slot = host_->peers[0];
  if (slot.state != ENET_PEER_STATE_DISCONNECTED) {
    if (SameEnetAddress(from, slot.address.host, slot.address.port)) return true;
  } else if (!everConnected_) {
    if (relay_ && SameEnetAddress(from, relay_->Inner())) {
      // The relay carries a datagram on only from the one IPv6 guest it linked, for a CONNECT
      // with the cookie of that guest's own address.
      if (relay_->Far()) return true;
    } else if (IsKnock(datagram)) {
      // One answer per knock, smaller than the knock.
      if (SendRaw(from, CookieDatagram(AddressCookie(key_, from.host, from.port))))
        ++counters_.knocksAnswered;
      return false;
    } else if (ConnectData(datagram) == AddressCookie(key_, from.host, from.port)) {
      return true;
    }
  }
  ++counters_.strangersDropped;
  return false;
}

bool EnetHostLink::AdmitRelayed(const UdpAddress& from, std::span<const uint8_t> datagram) {
  if (!everConnected_ && host_->peers[0].state == ENET_PEER_STATE_DISCONNECTED) {
    // The same gate as IPv4's, on the stranger's own IPv6 address and port.
    const uint32_t cookie = AddressCookie(key_, from.V6Host(), from.Port());
    if (IsKnock(datagram)) {
      if (SendRelayed(from, CookieDatagram(cookie))) ++counters_.knocksAnswered;
      return false;
    }
    if (ConnectData(datagram) == cookie) return true;
  }
  ++counters_.strangersDropped;
  return false;
}

void EnetHostLink::AfterService() {
  const ENetPeer& slot = host_->peers[0];
  if (link_ == LinkState::Waiting && slot.state != ENET_PEER_STATE_DISCONNECTED)
    link_ = LinkState::Connecting;
  // A guest that never finished connecting leaves the host waiting for another.
  if (link_ == LinkState::Connecting && slot.state == ENET_PEER_STATE_DISCONNECTED)
    link_ = LinkState::Waiting;
  // The relay stays linked only while ENet's one peer is the guest it carries: a guest that
  // never finished connecting leaves room for another.
  if (relay_ && relay_->Far() &&
      (slot.state == ENET_PEER_STATE_DISCONNECTED ||
       !SameEnetAddress(slot.address, relay_->Inner())))
    relay_->Unlink();
}

std::string EnetHostLink::PeerAddress() const {
  if (relay_ && relay_->Far()) return AddressText(*relay_->Far());
  const ENetPeer& slot = host_->peers[0];
  if (slot.state == ENET_PEER_STATE_DISCONNECTED) return {};
  return AddressText(UdpAddress::V4(slot.address.host, slot.address.port));
}

}  // namespace kavarin

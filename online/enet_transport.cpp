#include "online/enet_transport.h"

#include <enet/enet.h>
#include <sys/epoll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace kavarin {

namespace {

constexpr auto KnockEvery = std::chrono::milliseconds(250);
// Datagrams kept for the session between its polls; a flood beyond it is dropped.
constexpr size_t MaxQueued = 1024;
// ENet's own disconnect data for "I am leaving".
constexpr enet_uint32 GoodbyeData = 1;
// The host's addresses a guest knocks on at once.
constexpr size_t MaxCandidates = 8;
// Ports the system picks for ENet before one is found free on IPv6 as well.
constexpr int PortTries = 16;

// ENet calls the intercept with the host only: the transport being serviced is kept here.
thread_local EnetTransport* serviced = nullptr;

struct EnetLibrary {
  EnetLibrary() { ok = enet_initialize() == 0; }
  ~EnetLibrary() {
    if (ok) enet_deinitialize();
  }
  bool ok = false;
};

bool EnetReady(std::string& error) {
  static EnetLibrary library;
  if (!library.ok) error = "cannot start the network library";
  return library.ok;
}

bool SameAddress(const ENetAddress& a, uint32_t host, uint16_t port) {
  return a.host == host && a.port == port;
}

bool SameAddress(const ENetAddress& a, const UdpAddress& b) {
  return b.Family() == AF_INET && SameAddress(a, b.V4Host(), b.Port());
}

uint16_t SocketPort(ENetSocket socket) {
  ENetAddress address{};
  enet_socket_get_address(socket, &address);
  return address.port;
}

std::string Reason(int errorNumber) {
  return errorNumber != 0 ? std::string(": ") + std::strerror(errorNumber) : std::string();
}

class Servicing {
 public:
  explicit Servicing(EnetTransport* t) : saved_(serviced) { serviced = t; }
  ~Servicing() { serviced = saved_; }

 private:
  EnetTransport* saved_;
};

}  // namespace

EnetTransport::EnetTransport(ENetHost* host, bool isHost)
    : host_(host), isHost_(isHost), epoll_(epoll_create1(EPOLL_CLOEXEC)) {
  host_->intercept = &EnetTransport::Intercept;
  // ENet refuses to gather larger ones.
  host_->maximumPacketSize = MaxLinkDatagram;
  host_->maximumWaitingData = MaxQueued * MaxLinkDatagram;
  epoll_event watch{};
  watch.events = EPOLLIN;
  if (epoll_ >= 0) epoll_ctl(epoll_, EPOLL_CTL_ADD, host_->socket, &watch);
}

std::unique_ptr<EnetTransport> EnetTransport::Listen(uint16_t port, std::string& error,
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
      error = "cannot listen on UDP port " + std::to_string(port) + Reason(errno);
      return nullptr;
    }
    std::unique_ptr<EnetTransport> t(new EnetTransport(host, true));
    if (t->epoll_ < 0) {
      error = "cannot watch the network sockets" + Reason(errno);
      return nullptr;
    }
    t->key_ = RandomCookieKey();
    t->port_ = SocketPort(host->socket);
    if (!v6) return t;
    // The same port on IPv6 as on IPv4.
    const UdpAddress outer = at ? *at : UdpAddress::V6(in6addr_any, t->port_);
    const UdpAddress near =
        UdpAddress::V4(enetAt.host == ENET_HOST_ANY ? htonl(INADDR_LOOPBACK) : enetAt.host,
                       SocketPort(host->socket));
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
            Reason(failure);
    return nullptr;
  }
}

std::unique_ptr<EnetTransport> EnetTransport::Join(const std::string& hostName, uint16_t port,
                                                   std::string& error) {
  if (!EnetReady(error)) return nullptr;
  std::string why;
  std::vector<UdpAddress> candidates = ResolveUdp(hostName, port, MaxCandidates, why);
  if (candidates.empty()) {
    error = "cannot find the address of '" + hostName + "': " + why;
    return nullptr;
  }
  // Bound at once, so that the relay knows ENet's address before ENet sends anything.
  const ENetAddress any{ENET_HOST_ANY, 0};
  ENetHost* host = enet_host_create(&any, 1, 1, 0, 0);
  if (host == nullptr) {
    error = "cannot open a UDP socket";
    return nullptr;
  }
  std::unique_ptr<EnetTransport> t(new EnetTransport(host, false));
  if (t->epoll_ < 0) {
    error = "cannot watch the network sockets" + Reason(errno);
    return nullptr;
  }
  const auto isV6 = [](const UdpAddress& a) { return a.Family() == AF_INET6; };
  if (std::any_of(candidates.begin(), candidates.end(), isV6)) {
    int failure = 0;
    t->OpenRelay(UdpAddress::V6(in6addr_any, 0),
                 UdpAddress::V4(htonl(INADDR_LOOPBACK), SocketPort(host->socket)), failure);
    if (!t->relay_) {
      std::erase_if(candidates, isV6);
      if (candidates.empty()) {
        error = "'" + hostName + "' has IPv6 addresses only, and IPv6 cannot be used here" +
                Reason(failure);
        return nullptr;
      }
    }
  }
  t->candidates_ = std::move(candidates);
  return t;
}

EnetTransport::~EnetTransport() {
  // Leaving without Close still tells the other side, once and at once.
  if (peer_ != nullptr && link_ == Link::Connected) {
    enet_peer_disconnect_now(peer_, GoodbyeData);
    RelayOut();
  }
  enet_host_destroy(host_);
  relay_.reset();
  if (epoll_ >= 0) close(epoll_);
}

void EnetTransport::OpenRelay(const UdpAddress& outer, const UdpAddress& near, int& errorNumber) {
  relay_ = UdpRelay::Open(outer, near, errorNumber);
  if (!relay_) return;
  for (const int fd : {relay_->OuterFd(), relay_->InnerFd()}) {
    epoll_event watch{};
    watch.events = EPOLLIN;
    epoll_ctl(epoll_, EPOLL_CTL_ADD, fd, &watch);
  }
}

void EnetTransport::DropRelay() {
  if (!relay_) return;
  for (const int fd : {relay_->OuterFd(), relay_->InnerFd()})
    epoll_ctl(epoll_, EPOLL_CTL_DEL, fd, nullptr);
  relay_.reset();
}

void EnetTransport::RelayIn() {
  if (!relay_) return;
  relay_->CarryIn([this](const UdpAddress& from, std::span<const uint8_t> datagram) {
    return AdmitRelayed(from, datagram);
  });
  counters_.strangersDropped += relay_->TakeDropped();
}

void EnetTransport::RelayOut() {
  if (!relay_) return;
  relay_->CarryOut();
  counters_.strangersDropped += relay_->TakeDropped();
}

int EnetTransport::Intercept(ENetHost* host, ENetEvent*) {
  EnetTransport* t = serviced;
  if (t == nullptr || t->host_ != host) return 1;
  return t->Admit({host->receivedData, host->receivedDataLength}) ? 0 : 1;
}

bool EnetTransport::Admit(std::span<const uint8_t> datagram) {
  const ENetAddress& from = host_->receivedAddress;
  if (!isHost_) {
    if (peer_ != nullptr) {
      if (SameAddress(from, remoteHost_, remotePort_)) return true;
    } else {
      for (size_t i = 0; i < candidates_.size(); ++i) {
        if (!SameAddress(from, candidates_[i])) continue;
        if (const std::optional<uint32_t> cookie = CookieOf(datagram)) Answered(i, *cookie);
        return false;
      }
    }
    ++counters_.strangersDropped;
    return false;
  }
  const ENetPeer& slot = host_->peers[0];
  if (slot.state != ENET_PEER_STATE_DISCONNECTED) {
    if (SameAddress(from, slot.address.host, slot.address.port)) return true;
  } else if (!everConnected_) {
    if (relay_ && SameAddress(from, relay_->Inner())) {
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

bool EnetTransport::AdmitRelayed(const UdpAddress& from, std::span<const uint8_t> datagram) {
  if (!isHost_) {
    const auto at = std::find(candidates_.begin(), candidates_.end(), from);
    if (at != candidates_.end()) {
      if (const std::optional<uint32_t> cookie = CookieOf(datagram))
        Answered(static_cast<size_t>(at - candidates_.begin()), *cookie);
      return false;
    }
  } else if (!everConnected_ && host_->peers[0].state == ENET_PEER_STATE_DISCONNECTED) {
    // The same gate as IPv4's, on the stranger's own IPv6 address and port.
    const uint32_t cookie = AddressCookie(key_, from.V6Host(), from.Port());
    if (IsKnock(datagram)) {
      const std::vector<uint8_t> answer = CookieDatagram(cookie);
      if (relay_->SendOut(from, answer)) {
        ++counters_.knocksAnswered;
        ++counters_.datagramsSent;
        counters_.bytesSent += static_cast<int64_t>(answer.size());
      }
      return false;
    }
    if (ConnectData(datagram) == cookie) return true;
  }
  ++counters_.strangersDropped;
  return false;
}

bool EnetTransport::SendRaw(const ENetAddress& to, std::span<const uint8_t> datagram) {
  ENetBuffer buffer{const_cast<uint8_t*>(datagram.data()), datagram.size()};
  if (enet_socket_send(host_->socket, &to, &buffer, 1) <= 0) return false;
  ++counters_.datagramsSent;
  counters_.bytesSent += static_cast<int64_t>(datagram.size());
  return true;
}

void EnetTransport::Knock() {
  const auto now = std::chrono::steady_clock::now();
  if (knocked_ && now - lastKnock_ < KnockEvery) return;
  knocked_ = true;
  lastKnock_ = now;
  const auto knock = KnockDatagram();
  for (const UdpAddress& to : candidates_) {
    if (to.Family() == AF_INET) {
      SendRaw(ENetAddress{to.V4Host(), to.Port()}, knock);
    } else if (relay_ && relay_->SendOut(to, knock)) {
      ++counters_.datagramsSent;
      counters_.bytesSent += static_cast<int64_t>(knock.size());
    }
  }
}

void EnetTransport::Answered(size_t index, uint32_t cookie) {
  // Of answers that come in one turn, the resolver's order takes the first.
  if (answered_ >= 0 && static_cast<size_t>(answered_) <= index) return;
  answered_ = static_cast<int>(index);
  cookie_ = cookie;
}

void EnetTransport::ConnectToAnswer() {
  const UdpAddress& to = candidates_[static_cast<size_t>(answered_)];
  if (to.Family() == AF_INET6) {
    relay_->Link(to);
    remoteHost_ = relay_->Inner().V4Host();
    remotePort_ = relay_->Inner().Port();
  } else {
    remoteHost_ = to.V4Host();
    remotePort_ = to.Port();
    DropRelay();
  }
  ENetAddress address{remoteHost_, remotePort_};
  peer_ = enet_host_connect(host_, &address, 1, cookie_);
  if (peer_ == nullptr) return;
  link_ = Link::Connecting;
  enet_host_flush(host_);
  RelayOut();
}

void EnetTransport::Connected(ENetPeer* peer) {
  peer_ = peer;
  everConnected_ = true;
  link_ = Link::Connected;
  // Unsequenced packets are never held back by ENet's throttle: the session paces itself.
  enet_peer_throttle_configure(peer, ENET_PEER_PACKET_THROTTLE_INTERVAL,
                               ENET_PEER_PACKET_THROTTLE_SCALE, 0);
  // The session notices silence after 5 s; ENet gives up on the link only well after.
  enet_peer_timeout(peer, 0, 15'000, 30'000);
}

void EnetTransport::Handle(const ENetEvent& event) {
  switch (event.type) {
    case ENET_EVENT_TYPE_CONNECT:
      if (link_ != Link::Closed) Connected(event.peer);
      break;
    case ENET_EVENT_TYPE_RECEIVE:
      if (event.peer == peer_ && event.channelID == 0 && received_.size() < MaxQueued)
        received_.emplace_back(event.packet->data, event.packet->data + event.packet->dataLength);
      enet_packet_destroy(event.packet);
      break;
    case ENET_EVENT_TYPE_DISCONNECT:
      // A guest that never finished connecting leaves the host waiting for another.
      if (event.peer == peer_ || !isHost_) {
        goodbye_ = event.data == GoodbyeData;
        link_ = Link::Closed;
        peer_ = nullptr;
      }
      break;
    case ENET_EVENT_TYPE_NONE:
      break;
  }
}

void EnetTransport::Count() {
  counters_.datagramsSent += host_->totalSentPackets;
  counters_.bytesSent += host_->totalSentData;
  counters_.datagramsReceived += host_->totalReceivedPackets;
  counters_.bytesReceived += host_->totalReceivedData;
  host_->totalSentPackets = host_->totalSentData = 0;
  host_->totalReceivedPackets = host_->totalReceivedData = 0;
}

int EnetTransport::ServiceOnce(ENetEvent& event) {
  RelayIn();
  const int got = enet_host_service(host_, &event, 0);
  RelayOut();
  return got;
}

void EnetTransport::Service() {
  if (link_ == Link::Closed) return;
  if (!isHost_ && peer_ == nullptr && answered_ < 0) Knock();
  {
    Servicing servicing(this);
    ENetEvent event;
    while (link_ != Link::Closed && ServiceOnce(event) > 0) Handle(event);
  }
  if (!isHost_ && answered_ >= 0 && peer_ == nullptr && link_ == Link::Waiting) {
    ConnectToAnswer();
  } else if (isHost_) {
    const ENetPeer& slot = host_->peers[0];
    if (link_ == Link::Waiting && slot.state != ENET_PEER_STATE_DISCONNECTED)
      link_ = Link::Connecting;
    // The relay stays linked only while ENet's one peer is the guest it carries: a guest that
    // never finished connecting leaves room for another.
    if (relay_ && relay_->Far() &&
        (slot.state == ENET_PEER_STATE_DISCONNECTED || !SameAddress(slot.address, relay_->Inner())))
      relay_->Unlink();
  }
  Count();
}

void EnetTransport::WaitForSockets(int timeoutMs) {
  epoll_event events[3];
  epoll_wait(epoll_, events, 3, timeoutMs);
}

void EnetTransport::Wait(int timeoutMs) {
  if (!received_.empty() || timeoutMs <= 0) return;
  WaitForSockets(timeoutMs);
}

int EnetTransport::SocketFd() const {
  return epoll_;
}

uint16_t EnetTransport::Port() const {
  return isHost_ ? port_ : SocketPort(host_->socket);
}

void EnetTransport::Send(std::span<const uint8_t> datagram) {
  if (link_ != Link::Connected || peer_ == nullptr) return;
  ENetPacket* packet =
      enet_packet_create(datagram.data(), datagram.size(), ENET_PACKET_FLAG_UNSEQUENCED);
  if (packet != nullptr && enet_peer_send(peer_, 0, packet) < 0) enet_packet_destroy(packet);
}

bool EnetTransport::Receive(std::vector<uint8_t>& datagram) {
  if (received_.empty()) Service();
  if (received_.empty()) return false;
  datagram = std::move(received_.front());
  received_.pop_front();
  return true;
}

void EnetTransport::Close(int waitMs) {
  if (link_ == Link::Closed) return;
  if (link_ == Link::Connected) Service();  // what is queued goes first
  // The other side may have left meanwhile: then there is no one to tell.
  if (peer_ != nullptr && link_ == Link::Connected) {
    enet_peer_disconnect(peer_, GoodbyeData);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
    Servicing servicing(this);
    ENetEvent event;
    bool heard = false;
    while (!heard && std::chrono::steady_clock::now() < deadline) {
      const int got = ServiceOnce(event);
      if (got < 0) break;
      if (got == 0) WaitForSockets(5);
      if (got > 0 && event.type == ENET_EVENT_TYPE_DISCONNECT) heard = true;
      if (got > 0 && event.type == ENET_EVENT_TYPE_RECEIVE) enet_packet_destroy(event.packet);
    }
    if (!heard) enet_peer_reset(peer_);
    Count();
  } else if (peer_ != nullptr) {
    enet_peer_reset(peer_);
  }
  peer_ = nullptr;
  link_ = Link::Closed;
}

}  // namespace kavarin

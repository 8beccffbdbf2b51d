#include "online/enet_transport.h"

#include <enet/enet.h>
#include <sys/epoll.h>
#include <unistd.h>

#include <chrono>
#include <cstring>

namespace kavarin {

namespace {

// Datagrams kept for the session between its polls; a flood beyond it is dropped.
constexpr size_t MaxQueued = 1024;
// ENet's own disconnect data for "I am leaving".
constexpr enet_uint32 GoodbyeData = 1;

// ENet calls the intercept with the host only: the link being serviced is kept here.
thread_local EnetTransport* serviced = nullptr;

struct EnetLibrary {
  EnetLibrary() { ok = enet_initialize() == 0; }
  ~EnetLibrary() {
    if (ok) enet_deinitialize();
  }
  bool ok = false;
};

class Servicing {
 public:
  explicit Servicing(EnetTransport* t) : saved_(serviced) { serviced = t; }
  ~Servicing() { serviced = saved_; }

 private:
  EnetTransport* saved_;
};

}  // namespace

bool EnetReady(std::string& error) {
  static EnetLibrary library;
  if (!library.ok) error = "cannot start the network library";
  return library.ok;
}

std::string ErrnoReason(int errorNumber) {
  return errorNumber != 0 ? std::string(": ") + std::strerror(errorNumber) : std::string();
}

uint16_t EnetSocketPort(const ENetHost* host) {
  ENetAddress address{};
  enet_socket_get_address(host->socket, &address);
  return address.port;
}

bool SameEnetAddress(const ENetAddress& a, uint32_t host, uint16_t port) {
  return a.host == host && a.port == port;
}

bool SameEnetAddress(const ENetAddress& a, const UdpAddress& b) {
  return b.Family() == AF_INET && SameEnetAddress(a, b.V4Host(), b.Port());
}

EnetTransport::EnetTransport(ENetHost* host) : host_(host), epoll_(epoll_create1(EPOLL_CLOEXEC)) {
  host_->intercept = &EnetTransport::Intercept;
  // ENet refuses to gather larger ones.
  host_->maximumPacketSize = MaxLinkDatagram;
  host_->maximumWaitingData = MaxQueued * MaxLinkDatagram;
  epoll_event watch{};
  watch.events = EPOLLIN;
  if (epoll_ >= 0) epoll_ctl(epoll_, EPOLL_CTL_ADD, host_->socket, &watch);
}

EnetTransport::~EnetTransport() {
  // Leaving without Close still tells the other side, once and at once.
  if (peer_ != nullptr && link_ == LinkState::Connected) {
    enet_peer_disconnect_now(peer_, GoodbyeData);
    RelayOut();
  }
  enet_host_destroy(host_);
  relay_.reset();
  if (epoll_ >= 0) close(epoll_);
}

void EnetTransport::OpenRelay(std::span<const UdpAddress> outers, bool samePort, int& errorNumber,
                              int& failedFamily) {
  const UdpAddress near = UdpAddress::V4(htonl(INADDR_LOOPBACK), EnetSocketPort(host_));
  relay_ = UdpRelay::Open(outers, samePort, near, errorNumber, failedFamily);
  if (!relay_) return;
  for (const int fd : relay_->Fds()) {
    epoll_event watch{};
    watch.events = EPOLLIN;
    epoll_ctl(epoll_, EPOLL_CTL_ADD, fd, &watch);
  }
}

ENetAddress EnetTransport::RelayAddress() const {
  return ENetAddress{relay_->Inner().V4Host(), relay_->Inner().Port()};
}

void EnetTransport::TakeRelayCounts() {
  const UdpRelay::Taken t = relay_->Take();
  counters_.strangersDropped += t.strangers;
  counters_.forgeriesDropped += t.forged;
  counters_.datagramsSent += t.datagramsOut;
  counters_.bytesSent += t.bytesOut;
  counters_.datagramsReceived += t.datagramsIn;
  counters_.bytesReceived += t.bytesIn;
}

void EnetTransport::RelayIn() {
  if (!relay_) return;
  relay_->CarryIn([this](const UdpAddress& from, std::span<const uint8_t> datagram) {
    return AdmitRelayed(from, datagram);
  });
  TakeRelayCounts();
}

void EnetTransport::RelayOut() {
  if (!relay_) return;
  relay_->CarryOut();
  TakeRelayCounts();
}

bool EnetTransport::FromRelay() const {
  return relay_ && relay_->Far() && SameEnetAddress(host_->receivedAddress, relay_->Inner());
}

int EnetTransport::Intercept(ENetHost* host, ENetEvent*) {
  EnetTransport* t = serviced;
  if (t == nullptr || t->host_ != host) return 1;
  if (t->FromRelay()) return 0;
  // Only another program on this machine can reach ENet's loopback socket.
  ++t->counters_.strangersDropped;
  return 1;
}

bool EnetTransport::SendRelayed(const UdpAddress& to, std::span<const uint8_t> datagram) {
  const bool sent = relay_ && relay_->SendOut(to, datagram);
  if (relay_) TakeRelayCounts();
  return sent;
}

void EnetTransport::Connected(ENetPeer* peer) {
  peer_ = peer;
  everConnected_ = true;
  link_ = LinkState::Connected;
  // Unsequenced packets are never held back by ENet's throttle: the session paces itself.
  enet_peer_throttle_configure(peer, ENET_PEER_PACKET_THROTTLE_INTERVAL,
                               ENET_PEER_PACKET_THROTTLE_SCALE, 0);
  // The session notices silence after 5 s; ENet gives up on the link only well after.
  enet_peer_timeout(peer, 0, 15'000, 30'000);
  // ENet's own pings only keep that timeout honest; the session pings for the round trip and
  // notices silence itself. At ENet's usual pace, twice a second, they and their
  // acknowledgements cost each side about three datagrams a second more; every 5 s, well
  // inside the 15 s, they cost next to nothing.
  enet_peer_ping_interval(peer, 5'000);
}

void EnetTransport::Handle(const ENetEvent& event) {
  switch (event.type) {
    case ENET_EVENT_TYPE_CONNECT:
      if (link_ != LinkState::Closed) Connected(event.peer);
      break;
    case ENET_EVENT_TYPE_RECEIVE:
      // An empty packet is the other side's last before it leaves (see Close), not a datagram.
      if (event.peer == peer_ && event.channelID == 0 && event.packet->dataLength > 0 &&
          received_.size() < MaxQueued)
        received_.emplace_back(event.packet->data, event.packet->data + event.packet->dataLength);
      enet_packet_destroy(event.packet);
      break;
    case ENET_EVENT_TYPE_DISCONNECT:
      if (IsOurs(event.peer)) {
        goodbye_ = event.data == GoodbyeData;
        link_ = LinkState::Closed;
        peer_ = nullptr;
      }
      break;
    case ENET_EVENT_TYPE_NONE:
      break;
  }
}

void EnetTransport::Count() {
  // What the relay put on the network is counted as it goes; ENet's own figures are loopback's.
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
  if (link_ == LinkState::Closed) return;
  BeforeService();
  {
    Servicing servicing(this);
    ENetEvent event;
    while (link_ != LinkState::Closed && ServiceOnce(event) > 0) Handle(event);
  }
  AfterService();
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

uint16_t EnetTransport::Port() const {
  return EnetSocketPort(host_);
}

void EnetTransport::Send(std::span<const uint8_t> datagram) {
  if (link_ != LinkState::Connected || peer_ == nullptr) return;
  ENetPacket* packet =
      enet_packet_create(datagram.data(), datagram.size(), ENET_PACKET_FLAG_UNSEQUENCED);
  if (packet != nullptr && enet_peer_send(peer_, 0, packet) < 0) enet_packet_destroy(packet);
}

bool EnetTransport::Receive(std::vector<uint8_t>& datagram) {
  if (received_.empty()) return false;
  datagram = std::move(received_.front());
  received_.pop_front();
  return true;
}

void EnetTransport::Close(int waitMs) {
  if (link_ == LinkState::Closed) return;
  if (link_ == LinkState::Connected) Service();  // what is queued goes first
  // The other side may have left meanwhile: then there is no one to tell.
  if (peer_ != nullptr && link_ == LinkState::Connected) {
    // The other side's ENet drops whatever it has received but not yet handed out when the
    // disconnect arrives, and that would take the session's goodbye with it. So an empty
    // reliable packet goes last, and ENet disconnects only once it is acknowledged: by then the
    // other side has handed out everything before it.
    ENetPacket* last = enet_packet_create(nullptr, 0, ENET_PACKET_FLAG_RELIABLE);
    if (last != nullptr && enet_peer_send(peer_, 0, last) < 0) enet_packet_destroy(last);
    enet_peer_disconnect_later(peer_, GoodbyeData);
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
    // Not heard in time: the other side is told at once, without waiting for it to hear.
    if (!heard) {
      enet_peer_disconnect_now(peer_, GoodbyeData);
      RelayOut();
    }
    Count();
  } else if (peer_ != nullptr) {
    enet_peer_reset(peer_);
  }
  peer_ = nullptr;
  link_ = LinkState::Closed;
}

}  // namespace kavarin

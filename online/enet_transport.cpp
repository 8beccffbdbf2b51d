#include "online/enet_transport.h"

#include <enet/enet.h>

#include <cerrno>
#include <cstring>

namespace kavarin {

namespace {

constexpr auto KnockEvery = std::chrono::milliseconds(250);
// Datagrams kept for the session between its polls; a flood beyond it is dropped.
constexpr size_t MaxQueued = 1024;
// No datagram of ours comes near it; ENet refuses to gather larger ones.
constexpr size_t MaxPacketSize = 4096;
// ENet's own disconnect data for "I am leaving".
constexpr enet_uint32 GoodbyeData = 1;

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

class Servicing {
 public:
  explicit Servicing(EnetTransport* t) : saved_(serviced) { serviced = t; }
  ~Servicing() { serviced = saved_; }

 private:
  EnetTransport* saved_;
};

}  // namespace

EnetTransport::EnetTransport(ENetHost* host, bool isHost) : host_(host), isHost_(isHost) {
  host_->intercept = &EnetTransport::Intercept;
  host_->maximumPacketSize = MaxPacketSize;
  host_->maximumWaitingData = MaxQueued * MaxPacketSize;
}

std::unique_ptr<EnetTransport> EnetTransport::Listen(uint16_t port, std::string& error,
                                                     const std::string& bindAddress) {
  if (!EnetReady(error)) return nullptr;
  ENetAddress address{};
  address.host = ENET_HOST_ANY;
  address.port = port;
  if (!bindAddress.empty() && enet_address_set_host_ip(&address, bindAddress.c_str()) != 0) {
    error = "'" + bindAddress + "' is not an IPv4 address";
    return nullptr;
  }
  errno = 0;
  ENetHost* host = enet_host_create(&address, 1, 1, 0, 0);
  if (host == nullptr) {
    const int saved = errno;
    error = "cannot listen on UDP port " + std::to_string(port) +
            (saved != 0 ? std::string(": ") + std::strerror(saved) : std::string());
    return nullptr;
  }
  std::unique_ptr<EnetTransport> t(new EnetTransport(host, true));
  t->key_ = RandomCookieKey();
  return t;
}

std::unique_ptr<EnetTransport> EnetTransport::Join(const std::string& hostName, uint16_t port,
                                                   std::string& error) {
  if (!EnetReady(error)) return nullptr;
  ENetAddress address{};
  if (hostName.find('\0') != std::string::npos ||
      enet_address_set_host(&address, hostName.c_str()) != 0) {
    error = "cannot find an IPv4 address for '" + hostName + "'";
    return nullptr;
  }
  ENetHost* host = enet_host_create(nullptr, 1, 1, 0, 0);
  if (host == nullptr) {
    error = "cannot open a UDP socket";
    return nullptr;
  }
  std::unique_ptr<EnetTransport> t(new EnetTransport(host, false));
  t->remoteHost_ = address.host;
  t->remotePort_ = port;
  return t;
}

EnetTransport::~EnetTransport() {
  // Leaving without Close still tells the other side, once and at once.
  if (peer_ != nullptr && link_ == Link::Connected) enet_peer_disconnect_now(peer_, GoodbyeData);
  enet_host_destroy(host_);
}

int EnetTransport::Intercept(ENetHost* host, ENetEvent*) {
  EnetTransport* t = serviced;
  if (t == nullptr || t->host_ != host) return 1;
  return t->Admit({host->receivedData, host->receivedDataLength}) ? 0 : 1;
}

bool EnetTransport::Admit(std::span<const uint8_t> datagram) {
  const ENetAddress& from = host_->receivedAddress;
  if (!isHost_) {
    if (!SameAddress(from, remoteHost_, remotePort_)) {
      ++counters_.strangersDropped;
      return false;
    }
    if (peer_ != nullptr) return true;
    if (const std::optional<uint32_t> cookie = CookieOf(datagram)) {
      cookie_ = *cookie;
      cookieHeard_ = true;
    }
    return false;
  }
  const ENetPeer& slot = host_->peers[0];
  if (slot.state != ENET_PEER_STATE_DISCONNECTED) {
    if (SameAddress(from, slot.address.host, slot.address.port)) return true;
  } else if (!everConnected_) {
    if (IsKnock(datagram)) {
      // One answer per knock, smaller than the knock.
      if (SendRaw(from, CookieDatagram(AddressCookie(key_, from.host, from.port))))
        ++counters_.knocksAnswered;
      return false;
    }
    const std::optional<uint32_t> cookie = ConnectData(datagram);
    if (cookie && *cookie == AddressCookie(key_, from.host, from.port)) return true;
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

void EnetTransport::Service() {
  if (link_ == Link::Closed) return;
  if (!isHost_ && peer_ == nullptr && !cookieHeard_) {
    const auto now = std::chrono::steady_clock::now();
    if (!knocked_ || now - lastKnock_ >= KnockEvery) {
      knocked_ = true;
      lastKnock_ = now;
      SendRaw(ENetAddress{remoteHost_, remotePort_}, KnockDatagram());
    }
  }
  {
    Servicing servicing(this);
    ENetEvent event;
    while (link_ != Link::Closed && enet_host_service(host_, &event, 0) > 0) Handle(event);
  }
  if (!isHost_ && cookieHeard_ && peer_ == nullptr && link_ == Link::Waiting) {
    ENetAddress to{remoteHost_, remotePort_};
    peer_ = enet_host_connect(host_, &to, 1, cookie_);
    if (peer_ != nullptr) {
      link_ = Link::Connecting;
      enet_host_flush(host_);
    }
  } else if (isHost_ && link_ == Link::Waiting &&
             host_->peers[0].state != ENET_PEER_STATE_DISCONNECTED) {
    link_ = Link::Connecting;
  }
  Count();
}

void EnetTransport::Wait(int timeoutMs) {
  if (!received_.empty() || timeoutMs <= 0) return;
  enet_uint32 condition = ENET_SOCKET_WAIT_RECEIVE | ENET_SOCKET_WAIT_INTERRUPT;
  enet_socket_wait(host_->socket, &condition, static_cast<enet_uint32>(timeoutMs));
}

int EnetTransport::SocketFd() const {
  return host_->socket;
}

uint16_t EnetTransport::Port() const {
  ENetAddress address{};
  enet_socket_get_address(host_->socket, &address);
  return address.port;
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
      const int got = enet_host_service(host_, &event, 5);
      if (got < 0) break;
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

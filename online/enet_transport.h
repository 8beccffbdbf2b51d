#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "online/connect_gate.h"
#include "online/transport.h"
#include "online/udp_address.h"
#include "online/udp_relay.h"

struct _ENetHost;
struct _ENetPeer;
struct _ENetEvent;
typedef struct _ENetAddress ENetAddress;

namespace kavarin {

// A Transport over UDP through ENet, between one host and one guest. Each datagram the session
// sends is one unsequenced ENet packet on channel 0: never resent, never held back for order. The
// host takes the first guest that connects and then no other; anything from another address is
// dropped before ENet sees it, and before a guest is connected only a knock or a CONNECT with the
// right cookie gets through (see connect_gate.h), so the host cannot be made to send more than
// it is sent.
//
// ENet 1.3 speaks IPv4 only, so IPv6 goes through a relay of our own in the same process (see
// udp_relay.h): ENet's datagrams, unchanged, between ENet's socket and an IPv6 socket, by way of
// a socket on ENet's own address. A host listens on IPv6 on the same port as on IPv4 and relays
// one guest; its gate checks an IPv6 stranger's knock and CONNECT on the IPv6 socket, with the
// cookie of the stranger's own IPv6 address, and links the relay only for a CONNECT with that
// cookie. A guest knocks on every address of the host at once, IPv6 ones from the relay's socket,
// and connects through the first that answers (the resolver's order decides a tie).
//
// Nothing blocks except Join (which resolves the host's name), Wait and Close. An event loop
// polls Service (or Receive) every frame and may watch SocketFd for reading; a loop of its own
// calls Wait between frames.
class EnetTransport : public Transport {
 public:
  enum class Link {
    Waiting,     // a host waiting for a guest, a guest knocking
    Connecting,  // ENet's connect handshake
    Connected,
    Closed,  // the other side left, the link was lost, or Close was called
  };

  // A host waiting on `port` (0: a free port the system picks, the same for both) of every IPv4
  // and IPv6 address of this machine (IPv4 alone on a machine without IPv6), or of `bindAddress`
  // alone, an IPv4 or IPv6 address in digits. Null, with `error` set, when it cannot listen
  // there.
  static std::unique_ptr<EnetTransport> Listen(uint16_t port, std::string& error,
                                               const std::string& bindAddress = "");
  // A guest connecting to `host` (a name, an IPv4 or an IPv6 address) on `port`. Null, with
  // `error` set, when the name has no address this machine can reach.
  static std::unique_ptr<EnetTransport> Join(const std::string& host, uint16_t port,
                                             std::string& error);
  ~EnetTransport() override;

  // Queued, for the next Service; dropped unless connected.
  void Send(std::span<const uint8_t> datagram) override;
  // The next datagram from the connected peer; services the link first when none is waiting.
  bool Receive(std::vector<uint8_t>& datagram) override;

  // Handles what has arrived and puts what is queued on the wire.
  void Service();
  // Waits until something arrives, at most timeoutMs.
  void Wait(int timeoutMs);
  // Readable when something has arrived on any of the transport's sockets: one descriptor (an
  // epoll set) for ENet's socket and the relay's.
  int SocketFd() const;

  Link State() const { return link_; }
  // Once closed: whether the other side said it was leaving, rather than going silent.
  bool PeerSaidGoodbye() const { return goodbye_; }
  // The local UDP port: for a host, the one it waits on over IPv4 and IPv6.
  uint16_t Port() const;
  // Tells the other side this one is leaving, waits at most waitMs for it to hear, and closes.
  void Close(int waitMs = 250);

  struct Counters {
    int64_t datagramsSent = 0;  // UDP datagrams
    int64_t bytesSent = 0;      // their bytes, ENet's headers included
    int64_t datagramsReceived = 0;
    int64_t bytesReceived = 0;
    int64_t strangersDropped = 0;  // from another address, or not let in before a connection
    int64_t knocksAnswered = 0;
  };
  const Counters& Stats() const { return counters_; }

 private:
  EnetTransport(_ENetHost* host, bool isHost);
  static int Intercept(_ENetHost* host, _ENetEvent* event);
  // Whether a raw datagram may go on to ENet.
  bool Admit(std::span<const uint8_t> datagram);
  // Whether the relay links a sender it has no link for, and carries its datagram on to ENet.
  bool AdmitRelayed(const UdpAddress& from, std::span<const uint8_t> datagram);
  // A datagram of the gate's own, outside ENet.
  bool SendRaw(const ENetAddress& to, std::span<const uint8_t> datagram);
  void Knock();
  // The guest's answer to knocking, at candidate `index`.
  void Answered(size_t index, uint32_t cookie);
  void ConnectToAnswer();
  void OpenRelay(const UdpAddress& outer, const UdpAddress& near, int& errorNumber);
  // What has arrived for ENet on the relay's IPv6 socket goes to ENet; what ENet sent the relay
  // goes out.
  void RelayIn();
  void RelayOut();
  void DropRelay();
  // One turn of ENet with the relay's datagrams moved on either side of it.
  int ServiceOnce(_ENetEvent& event);
  void WaitForSockets(int timeoutMs);
  void Handle(const _ENetEvent& event);
  void Connected(_ENetPeer* peer);
  void Count();

  _ENetHost* host_;
  bool isHost_;
  int epoll_;
  std::unique_ptr<UdpRelay> relay_;
  Link link_ = Link::Waiting;
  _ENetPeer* peer_ = nullptr;
  bool everConnected_ = false;
  bool goodbye_ = false;
  // The guest's: the host's addresses, which answered first and its cookie, and where ENet
  // connects (that address, or the relay's).
  std::vector<UdpAddress> candidates_;
  int answered_ = -1;
  uint32_t cookie_ = 0;
  uint32_t remoteHost_ = 0;
  uint16_t remotePort_ = 0;
  std::chrono::steady_clock::time_point lastKnock_{};
  bool knocked_ = false;
  // The host's.
  CookieKey key_{};
  uint16_t port_ = 0;
  std::deque<std::vector<uint8_t>> received_;
  Counters counters_;
};

}  // namespace kavarin

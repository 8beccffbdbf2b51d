#pragma once

#include <deque>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "online/connect_gate.h"
#include "online/link_seal.h"
#include "online/transport.h"
#include "online/udp_address.h"
#include "online/udp_relay.h"

struct _ENetHost;
struct _ENetPeer;
struct _ENetEvent;
typedef struct _ENetAddress ENetAddress;

namespace kavarin {

// The part of a link over UDP through ENet that the host and the guest share. Each datagram the
// session sends is one unsequenced ENet packet on channel 0: never resent, never held back for
// order.
//
// ENet's own socket is on loopback and hears only the relay (udp_relay.h), whose sockets alone
// face the network, on IPv4 and IPv6 (ENet 1.3 speaks IPv4 only). Before a link is made, what
// reaches them goes to the role's AdmitRelayed: the host's connect gate (enet_host_link.h), the
// guest's knocking on the host's candidate addresses (enet_guest_link.h). Once it is made, every
// datagram between the two machines, ENet's own commands included, is sealed with the keys the
// two agreed in the gate's handshake, and ENet sees only those that open, once each
// (link_seal.h): nobody else can end, confuse or replay the link, from any address.
//
// Nothing blocks except Wait and Close. An event loop calls Service once a frame and may watch
// WaitHandle for reading; a loop of its own calls Wait between frames.
class EnetTransport : public Transport {
 public:
  using Link = LinkState;
  using Counters = LinkCounters;

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

  void Send(std::span<const uint8_t> datagram) override;
  bool Receive(std::vector<uint8_t>& datagram) override;
  void Service() override;
  void Wait(int timeoutMs) override;
  // One descriptor (an epoll set) for ENet's socket and the relay's.
  int WaitHandle() const override { return epoll_; }
  int SocketFd() const { return epoll_; }
  void Close(int waitMs = 250) override;

  LinkState State() const override { return link_; }
  bool PeerSaidGoodbye() const override { return goodbye_; }
  LinkCounters Stats() const override { return counters_; }
  // The local UDP port: for a host, the one it waits on over IPv4 and IPv6.
  virtual uint16_t Port() const;

 protected:
  explicit EnetTransport(_ENetHost* host);
  // What to do with a datagram from a sender the relay has no link for: the seal to open it
  // with, if its sender may become the other machine.
  virtual std::optional<LinkSeal> AdmitRelayed(const UdpAddress& from,
                                               std::span<const uint8_t> datagram) = 0;
  // The role's own work on either side of ENet's turn.
  virtual void BeforeService() {}
  virtual void AfterService() {}
  // ENet says a peer is gone; whether it was the link's.
  virtual bool IsOurs(_ENetPeer* peer) const { return peer == peer_; }

  // A datagram of the role's own, outside ENet.
  bool SendRelayed(const UdpAddress& to, std::span<const uint8_t> datagram);
  // The relay to ENet's socket from `outers` (see UdpRelay::Open).
  void OpenRelay(std::span<const UdpAddress> outers, bool samePort, int& errorNumber,
                 int& failedFamily);
  // Where ENet reaches the relay, and the other machine through it.
  ENetAddress RelayAddress() const;
  // What the relay sent on, out now.
  void RelayOut();
  bool WatchReady() const { return epoll_ >= 0; }

  _ENetHost* host_;
  std::unique_ptr<UdpRelay> relay_;
  LinkState link_ = LinkState::Waiting;
  _ENetPeer* peer_ = nullptr;
  bool everConnected_ = false;
  LinkCounters counters_;

 private:
  static int Intercept(_ENetHost* host, _ENetEvent* event);
  // Whether a datagram to ENet's socket came from the relay linked to the other machine.
  bool FromRelay() const;
  void RelayIn();
  void TakeRelayCounts();
  // One turn of ENet with the relay's datagrams moved on either side of it.
  int ServiceOnce(_ENetEvent& event);
  void WaitForSockets(int timeoutMs);
  void Handle(const _ENetEvent& event);
  void Connected(_ENetPeer* peer);
  void Count();

  int epoll_;
  bool goodbye_ = false;
  std::deque<std::vector<uint8_t>> received_;
};

// Shared between the two roles' files.
bool EnetReady(std::string& error);
// ENet ready, the seal's library started, and ENet's socket open on loopback, where it hears
// only the relay; null with `error` set.
_ENetHost* LoopbackEnetHost(std::string& error);
std::string ErrnoReason(int errorNumber);
uint16_t EnetSocketPort(const _ENetHost* host);
bool SameEnetAddress(const ENetAddress& a, uint32_t host, uint16_t port);
bool SameEnetAddress(const ENetAddress& a, const UdpAddress& b);

}  // namespace kavarin

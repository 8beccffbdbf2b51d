#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "online/stun_message.h"
#include "online/udp_address.h"

namespace kavarin {

// A client of a TURN server (RFC 8656, as coturn speaks it) over UDP, with no socket of its own:
// the relay sends what Due and Wrap give to Server() from the socket the link plays on, and hands
// Take whatever comes back from Server(). It allocates a relayed address with the long-term
// credentials it is given, lets each peer it is told of through (a permission and a channel), and
// keeps the allocation, permissions and channels fresh for as long as it lives; requests are sent
// again until answered, and it fails after 5 s without an answer.
class TurnClient {
 public:
  using Clock = std::chrono::steady_clock;
  enum class Stage { Allocating, Ready, Failed };

  TurnClient(const UdpAddress& server, std::string username, std::string password);

  const UdpAddress& Server() const { return server_; }
  // Requests due now: the allocation, its refreshes, permissions and channel bindings, resends.
  std::vector<std::vector<uint8_t>> Due(Clock::time_point now);
  // Lets `peer` reach us through the relay, and us it.
  void Allow(const UdpAddress& peer);
  // As Allow, and what comes from any other port of `peer`'s address is let through too, its
  // port then allowed: a peer behind a router that gives each destination a port of its own
  // reaches us from one nobody told us of.
  void AllowAnyPort(const UdpAddress& peer);
  // Whether datagrams for `peer` go through the relay.
  bool Carries(const UdpAddress& peer) const;

  // A datagram from Server(): a peer's, unwrapped, with the peer's address; nothing for the
  // server's own answers (which Take handles) and for anything malformed.
  struct FromPeer {
    UdpAddress peer;
    std::vector<uint8_t> datagram;
  };
  std::optional<FromPeer> Take(std::span<const uint8_t> datagram, Clock::time_point now);
  // A datagram for `peer`, wrapped for Server() (channel data once its channel is bound);
  // nothing until the allocation is made or when `peer` is not allowed.
  std::optional<std::vector<uint8_t>> Wrap(const UdpAddress& peer,
                                           std::span<const uint8_t> datagram) const;

  Stage State() const { return stage_; }
  // The relayed address the server gave us, once Ready: where the other player reaches us.
  const std::optional<UdpAddress>& Relayed() const { return relayed_; }
  const std::string& Failure() const { return failure_; }

 private:
  UdpAddress server_;
  std::string username_, password_;
  Stage stage_ = Stage::Allocating;
  std::optional<UdpAddress> relayed_;
  std::string failure_;
  // The rest is the implementation's own.
  enum class Ask { Allocate, Refresh, Permission, Bind };
  struct Pending {
    Ask ask;
    size_t peer;  // Permission's and Bind's
    stun::TransactionId id;
    std::vector<uint8_t> bytes;
    Clock::time_point first, next;
    Clock::duration wait;
    int stale;  // answers of a stale nonce in a row
  };
  struct Peer {
    UdpAddress address;
    uint16_t channel;
    bool bound = false;
    Clock::time_point renewAt{};
  };
  void Queue(Ask ask, size_t peer, Clock::time_point now, int stale = 0);
  void Answered(const Pending& asked, const stun::Message& answer, Clock::time_point now);
  void Fail(std::string why);
  bool Asking(Ask ask, size_t peer) const;
  const Peer* PeerAt(const UdpAddress& address) const;

  bool started_ = false;
  std::optional<std::array<uint8_t, 16>> key_;
  std::string realm_, nonce_;
  Clock::time_point refreshAt_{};
  std::vector<Pending> pending_;
  std::vector<Peer> peers_;
  std::vector<UdpAddress> anyPort_;
};

}  // namespace kavarin

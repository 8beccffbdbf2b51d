#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "online/link_seal.h"
#include "online/turn_client.h"
#include "online/udp_address.h"

namespace kavarin {

// The only sockets of a link that face the network. A library under it (ENet) keeps its own
// socket on loopback, the near side, and the relay carries one link between it and the far side,
// datagram for datagram, through an inner socket beside it: what the far side sends to an outer
// socket goes on, opened, from the inner socket to the near side; what the near side sends to the
// inner socket goes out to the far side, sealed (see link_seal.h). The near side sees the far side
// as the inner socket's address. So the library never sees a datagram the other machine did not
// seal, and speaks IPv4 only while the relay speaks IPv4 and IPv6.
//
// Until a far side is linked, whatever reaches an outer socket is shown to a `Stranger`
// procedure, which may answer it (SendOut) and may offer the seal to open it with: if it opens,
// its sender becomes the far side. There is at most one far side, and nothing else is kept per
// sender. Nothing blocks.
//
// With a TURN client routed through, datagrams for a peer it carries go to its server, wrapped,
// and what comes from its server is unwrapped and taken as from the peer it names, so the far
// side may be a peer behind the relay exactly as one reached directly.
class UdpRelay {
 public:
  // An outer socket on each of `outers` (one per family at most; port 0: any, but with
  // `samePort` those after the first take the first's port), IPv6 ones IPv6 only; the inner one
  // on `near`'s address, any port. Null, with `errorNumber` and the family that failed set, when
  // a socket cannot be opened.
  static std::unique_ptr<UdpRelay> Open(std::span<const UdpAddress> outers, bool samePort,
                                        const UdpAddress& near, int& errorNumber,
                                        int& failedFamily);
  ~UdpRelay();
  UdpRelay(const UdpRelay&) = delete;
  UdpRelay& operator=(const UdpRelay&) = delete;

  // Every socket's descriptor, to watch for reading.
  std::vector<int> Fds() const;
  int InnerFd() const { return innerFd_; }
  // The first outer socket's port.
  uint16_t OuterPort() const { return outerPort_; }
  bool Reaches(int family) const { return OuterFd(family) >= 0; }
  // Where the near side sees the far side from.
  const UdpAddress& Inner() const { return inner_; }
  const std::optional<UdpAddress>& Far() const { return far_; }
  void Link(const UdpAddress& far, const LinkSeal& seal);
  void Unlink();
  // Datagrams for the peers `turn` carries go through its server from now on; null: none. The
  // client's own requests go out whenever the relay carries out.
  void Route(std::unique_ptr<TurnClient> turn);
  TurnClient* Turn() const { return turn_.get(); }

  // A datagram of the relay's own user, from the outer socket of its family, unsealed.
  bool SendOut(const UdpAddress& to, std::span<const uint8_t> datagram);
  using Stranger =
      std::function<std::optional<LinkSeal>(const UdpAddress& from, std::span<const uint8_t>)>;
  // Carries what has arrived on the outer sockets to the near side, a bounded number each time.
  void CarryIn(const Stranger& stranger);
  // Carries what the near side has sent to the inner socket out to the far side.
  void CarryOut();

  // Since last asked.
  struct Taken {
    int64_t strangers = 0;  // from neither side, or too large
    int64_t forged = 0;     // from the far side's address (or offered a seal), and did not open
    int64_t datagramsOut = 0, bytesOut = 0, datagramsIn = 0, bytesIn = 0;  // on the outer sockets
  };
  Taken Take();

 private:
  UdpRelay(int innerFd, const UdpAddress& near);
  int OuterFd(int family) const;
  void ToNear(std::span<const uint8_t> datagram);
  void FromOutside(const UdpAddress& from, std::span<const uint8_t> datagram,
                   const Stranger& stranger);
  bool SendRaw(const UdpAddress& to, std::span<const uint8_t> datagram);

  std::array<int, 2> outerFd_{-1, -1};  // IPv4's, IPv6's
  int innerFd_;
  uint16_t outerPort_ = 0;
  UdpAddress inner_;
  UdpAddress near_;
  std::optional<UdpAddress> far_;
  std::optional<LinkSeal> seal_;
  std::vector<uint8_t> opened_;
  Taken taken_;
  std::unique_ptr<TurnClient> turn_;
};

}  // namespace kavarin

#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>

#include "online/udp_address.h"

namespace kavarin {

// Carries one link between an IPv6 address and a local IPv4 socket, datagram for datagram, for a
// library that speaks IPv4 only. The outer socket faces the network on IPv6; the inner one sits
// beside the local socket (the near side), on its address. What the one far side sends to the
// outer socket goes on, unchanged, from the inner socket to the near side; what the near side
// sends to the inner socket goes out to the far side. The near side sees the far side as the
// inner socket's address.
//
// Until a far side is linked, whatever reaches the outer socket is shown to a `Stranger`
// procedure, which may answer it (SendOut) and says whether its sender becomes the far side.
// There is at most one far side, and nothing else is kept per sender. Nothing blocks.
class UdpRelay {
 public:
  // The outer socket on `outer` (port 0: any), IPv6 only; the inner one on `near`'s address, any
  // port. Null, with `errorNumber` set, when either cannot be opened.
  static std::unique_ptr<UdpRelay> Open(const UdpAddress& outer, const UdpAddress& near,
                                        int& errorNumber);
  ~UdpRelay();
  UdpRelay(const UdpRelay&) = delete;
  UdpRelay& operator=(const UdpRelay&) = delete;

  int OuterFd() const { return outerFd_; }
  int InnerFd() const { return innerFd_; }
  uint16_t OuterPort() const { return outerPort_; }
  // Where the near side sees the far side from.
  const UdpAddress& Inner() const { return inner_; }
  const std::optional<UdpAddress>& Far() const { return far_; }
  void Link(const UdpAddress& far) { far_ = far; }
  void Unlink() { far_.reset(); }

  // A datagram of the relay's own user, from the outer socket.
  bool SendOut(const UdpAddress& to, std::span<const uint8_t> datagram) const;
  // Whether an unlinked sender becomes the far side, its datagram carried on to the near side.
  using Stranger = std::function<bool(const UdpAddress& from, std::span<const uint8_t> datagram)>;
  // Carries what has arrived on the outer socket to the near side, a bounded number each time.
  void CarryIn(const Stranger& stranger);
  // Carries what the near side has sent to the inner socket out to the far side.
  void CarryOut();
  // Datagrams dropped by the relay itself since last asked: from neither side, or too large.
  int64_t TakeDropped();

 private:
  UdpRelay(int outerFd, int innerFd, const UdpAddress& near);

  int outerFd_;
  int innerFd_;
  uint16_t outerPort_ = 0;
  UdpAddress inner_;
  UdpAddress near_;
  std::optional<UdpAddress> far_;
  int64_t dropped_ = 0;
};

}  // namespace kavarin

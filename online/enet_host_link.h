#pragma once

#include <string>

#include "online/connect_gate.h"
#include "online/enet_transport.h"

namespace kavarin {

// The host's side of a link through ENet. It takes the first guest that connects and then no
// other; anything from another address is dropped before ENet sees it, and before a guest is
// connected only a knock or a CONNECT with the right cookie gets through (see connect_gate.h),
// so the host cannot be made to send more than it is sent.
//
// It listens on IPv6 on the same port as on IPv4 and relays one guest; its gate checks an IPv6
// stranger's knock and CONNECT on the IPv6 socket, with the cookie of the stranger's own IPv6
// address, and links the relay only for a CONNECT with that cookie.
class EnetHostLink : public EnetTransport {
 public:
  // As EnetTransport::Listen.
  static std::unique_ptr<EnetHostLink> Listen(uint16_t port, std::string& error,
                                              const std::string& bindAddress);
  uint16_t Port() const override { return port_; }
  std::string PeerAddress() const override;

 private:
  using EnetTransport::EnetTransport;
  bool Admit(std::span<const uint8_t> datagram) override;
  bool AdmitRelayed(const UdpAddress& from, std::span<const uint8_t> datagram) override;
  void AfterService() override;

  CookieKey key_{};
  uint16_t port_ = 0;
};

}  // namespace kavarin

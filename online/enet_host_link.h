#pragma once

#include <optional>
#include <string>
#include <vector>

#include "online/connect_gate.h"
#include "online/enet_transport.h"

namespace kavarin {

// The host's side of a link through ENet. It takes the first guest that connects and then no
// other; anything from another address is dropped before ENet sees it, and before a guest is
// connected only a knock, or a sealed datagram with the right cookie that opens with the keys of
// the cookie's guest, gets through (see connect_gate.h), so the host cannot be made to send more
// than it is sent. It waits on the same port over IPv4 and IPv6.
class EnetHostLink : public EnetTransport {
 public:
  // As EnetTransport::Listen.
  static std::unique_ptr<EnetHostLink> Listen(uint16_t port, std::string& error,
                                              const std::string& bindAddress);
  uint16_t Port() const override { return port_; }
  std::string PeerAddress() const override;

 protected:
  using EnetTransport::EnetTransport;
  // Everything Listen does once ENet's socket is open.
  bool Start(uint16_t port, const std::string& bindAddress, std::string& error);
  std::optional<LinkSeal> AdmitRelayed(const UdpAddress& from,
                                       std::span<const uint8_t> datagram) override;
  void AfterService() override;

  CookieKey key_{};
  KeyPair pair_;
  uint16_t port_ = 0;
  // The key of the guest last offered a link, and those of guests once linked: a guest that
  // never finished connecting is not let in again by a copy of what it sent.
  std::optional<PublicKey> offered_;
  std::vector<PublicKey> linkedBefore_;
};

}  // namespace kavarin

#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "online/enet_transport.h"

namespace kavarin {

// The guest's side of a link through ENet. It looks the host's name up on a thread of its own,
// so that nothing waits for a name server (the link stays Waiting meanwhile, and closes with the
// reason when the name has no address it can use). Then it knocks on every address of the host at
// once (its candidates), IPv6 ones from the relay's socket, and connects through the first that
// answers with a cookie (the resolver's order decides a tie). Before it connects, only the
// candidates' answers reach it; after, only the host it connected to.
class EnetGuestLink : public EnetTransport {
 public:
  // As EnetTransport::Join; the name is looked up meanwhile.
  static std::unique_ptr<EnetGuestLink> Join(const std::string& host, uint16_t port,
                                             std::string& error);
  std::string PeerAddress() const override;
  std::string Failure() const override { return failure_; }

 private:
  using EnetTransport::EnetTransport;
  bool Admit(std::span<const uint8_t> datagram) override;
  bool AdmitRelayed(const UdpAddress& from, std::span<const uint8_t> datagram) override;
  void BeforeService() override;
  void AfterService() override;
  // ENet has one peer for a guest: whatever it ends is the link.
  bool IsOurs(_ENetPeer*) const override { return true; }
  // The host's addresses, once the lookup has them: the candidates, IPv6 ones through the relay.
  void Resolved(std::vector<UdpAddress> candidates, const std::string& why);
  void Knock();
  // The answer to knocking, at candidate `index`.
  void Answered(size_t index, uint32_t cookie);
  void ConnectToAnswer();

  struct Lookup;
  std::shared_ptr<Lookup> lookup_;  // shared with the thread that asks the resolver
  std::string hostName_;
  std::string failure_;
  std::vector<UdpAddress> candidates_;
  int answered_ = -1;
  uint32_t cookie_ = 0;
  // Where ENet connects: the address that answered, or the relay's.
  uint32_t remoteHost_ = 0;
  uint16_t remotePort_ = 0;
  std::chrono::steady_clock::time_point lastKnock_{};
  bool knocked_ = false;
};

}  // namespace kavarin

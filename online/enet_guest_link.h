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
// once (its candidates), with the public key of its pair for this link, and connects through the
// first that answers with a cookie and the host's key (the resolver's order decides a tie), its
// datagrams sealed from the first. Before it connects, only the candidates' answers reach it;
// after, only what the host it connected to sealed.
class EnetGuestLink : public EnetTransport {
 public:
  // As EnetTransport::Join; the name is looked up meanwhile.
  static std::unique_ptr<EnetGuestLink> Join(const std::string& host, uint16_t port,
                                             std::string& error);
  std::string PeerAddress() const override;
  std::string Failure() const override { return failure_; }

 protected:
  using EnetTransport::EnetTransport;
  std::optional<LinkSeal> AdmitRelayed(const UdpAddress& from,
                                       std::span<const uint8_t> datagram) override;
  void BeforeService() override;
  void AfterService() override;
  // ENet has one peer for a guest: whatever it ends is the link.
  bool IsOurs(_ENetPeer*) const override { return true; }
  // The host's addresses, once the lookup has them: the candidates, IPv6 ones through the relay.
  void Resolved(std::vector<UdpAddress> candidates, const std::string& why);
  void Knock();
  // The answer to knocking, at candidate `index`.
  void Answered(size_t index, const CookieAnswer& answer);
  void ConnectToAnswer();

  struct Lookup;
  std::shared_ptr<Lookup> lookup_;  // shared with the thread that asks the resolver
  std::string hostName_;
  std::string failure_;
  std::vector<UdpAddress> candidates_;
  KeyPair pair_;
  int answered_ = -1;
  CookieAnswer answer_;
  std::optional<LinkKeys> keys_;
  std::chrono::steady_clock::time_point lastKnock_{};
  bool knocked_ = false;
};

}  // namespace kavarin

#include "online/enet_guest_link.h"

#include <enet/enet.h>

#include <algorithm>
#include <cerrno>
#include <mutex>
#include <thread>

#include "online/connect_gate.h"

namespace kavarin {

namespace {

constexpr auto KnockEvery = std::chrono::milliseconds(250);
// The host's addresses a guest knocks on at once.
constexpr size_t MaxCandidates = 8;

}  // namespace

std::unique_ptr<EnetTransport> EnetTransport::Join(const std::string& hostName, uint16_t port,
                                                   std::string& error) {
  return EnetGuestLink::Join(hostName, port, error);
}

struct EnetGuestLink::Lookup {
  std::mutex mutex;
  bool done = false;
  std::vector<UdpAddress> candidates;
  std::string error;
};

std::unique_ptr<EnetGuestLink> EnetGuestLink::Join(const std::string& hostName, uint16_t port,
                                                   std::string& error) {
  // Bound at once, so that the relay knows ENet's address before ENet sends anything.
  ENetHost* host = LoopbackEnetHost(error);
  if (host == nullptr) return nullptr;
  std::unique_ptr<EnetGuestLink> t(new EnetGuestLink(host));
  if (!t->WatchReady()) {
    error = "cannot watch the network sockets" + ErrnoReason(errno);
    return nullptr;
  }
  t->hostName_ = hostName;
  t->pair_ = KeyPair::Random();
  // Digits need no name server.
  if (NumericAddress(hostName, port)) {
    std::string why;
    std::vector<UdpAddress> candidates = ResolveUdp(hostName, port, MaxCandidates, why);
    t->Resolved(std::move(candidates), why);
    return t;
  }
  t->lookup_ = std::make_shared<Lookup>();
  // The thread keeps its own hold on the lookup: the link may be gone before the answer comes.
  std::thread([lookup = t->lookup_, hostName, port] {
    std::string why;
    std::vector<UdpAddress> candidates = ResolveUdp(hostName, port, MaxCandidates, why);
    const std::lock_guard<std::mutex> hold(lookup->mutex);
    lookup->candidates = std::move(candidates);
    lookup->error = why;
    lookup->done = true;
  }).detach();
  return t;
}

void EnetGuestLink::Resolved(std::vector<UdpAddress> candidates, const std::string& why) {
  if (candidates.empty()) {
    failure_ = "cannot find the address of '" + hostName_ + "': " + why;
    link_ = LinkState::Closed;
    return;
  }
  const auto isV6 = [](const UdpAddress& a) { return a.Family() == AF_INET6; };
  const bool anyV6 = std::any_of(candidates.begin(), candidates.end(), isV6);
  const bool anyV4 = !std::all_of(candidates.begin(), candidates.end(), isV6);
  std::vector<UdpAddress> outers;
  if (anyV4) outers.push_back(UdpAddress::V4(htonl(INADDR_ANY), 0));
  if (anyV6) outers.push_back(UdpAddress::V6(in6addr_any, 0));
  int failure = 0, family = 0;
  OpenRelay(outers, false, failure, family);
  if (!relay_ && anyV4 && family == AF_INET6) {
    // Without IPv6 here, the IPv4 addresses alone.
    std::erase_if(candidates, isV6);
    outers.pop_back();
    OpenRelay(outers, false, failure, family);
  }
  if (!relay_) {
    failure_ = anyV4 ? "cannot open a UDP socket" + ErrnoReason(failure)
                     : "'" + hostName_ + "' has IPv6 addresses only, and IPv6 cannot be used here" +
                           ErrnoReason(failure);
    link_ = LinkState::Closed;
    return;
  }
  candidates_ = std::move(candidates);
}

std::optional<LinkSeal> EnetGuestLink::AdmitRelayed(const UdpAddress& from,
                                                    std::span<const uint8_t> datagram) {
  const auto at = std::find(candidates_.begin(), candidates_.end(), from);
  if (at != candidates_.end() && peer_ == nullptr) {
    if (const std::optional<CookieAnswer> answer = CookieOf(datagram))
      Answered(static_cast<size_t>(at - candidates_.begin()), *answer);
    return std::nullopt;
  }
  ++counters_.strangersDropped;
  return std::nullopt;
}

void EnetGuestLink::Knock() {
  const auto now = std::chrono::steady_clock::now();
  if (knocked_ && now - lastKnock_ < KnockEvery) return;
  knocked_ = true;
  lastKnock_ = now;
  const auto knock = KnockDatagram(pair_.publicKey);
  for (const UdpAddress& to : candidates_) SendRelayed(to, knock);
}

void EnetGuestLink::Answered(size_t index, const CookieAnswer& answer) {
  // Of answers that come in one turn, the resolver's order takes the first.
  if (answered_ >= 0 && static_cast<size_t>(answered_) <= index) return;
  // A host's key that agrees on nothing is no host's.
  std::optional<LinkKeys> keys = GuestKeys(pair_, answer.hostKey);
  if (!keys) return;
  answered_ = static_cast<int>(index);
  answer_ = answer;
  keys_ = keys;
}

void EnetGuestLink::ConnectToAnswer() {
  const UdpAddress& to = candidates_[static_cast<size_t>(answered_)];
  relay_->Link(to, LinkSeal(*keys_, Introduction{answer_.cookie, pair_.publicKey}, std::nullopt));
  const ENetAddress address = RelayAddress();
  peer_ = enet_host_connect(host_, &address, 1, 0);
  if (peer_ == nullptr) return;
  link_ = LinkState::Connecting;
  enet_host_flush(host_);
  RelayOut();
}

void EnetGuestLink::BeforeService() {
  if (lookup_) {
    std::vector<UdpAddress> candidates;
    std::string why;
    {
      const std::lock_guard<std::mutex> hold(lookup_->mutex);
      if (!lookup_->done) return;
      candidates = std::move(lookup_->candidates);
      why = lookup_->error;
    }
    lookup_.reset();
    Resolved(std::move(candidates), why);
  }
  if (link_ == LinkState::Waiting && peer_ == nullptr && answered_ < 0) Knock();
}

void EnetGuestLink::AfterService() {
  if (answered_ >= 0 && peer_ == nullptr && link_ == LinkState::Waiting) ConnectToAnswer();
}

std::string EnetGuestLink::PeerAddress() const {
  if (answered_ < 0) return {};
  return AddressText(candidates_[static_cast<size_t>(answered_)]);
}

}  // namespace kavarin

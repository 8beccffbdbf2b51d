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
  if (!EnetReady(error)) return nullptr;
  // Bound at once, so that the relay knows ENet's address before ENet sends anything.
  const ENetAddress any{ENET_HOST_ANY, 0};
  ENetHost* host = enet_host_create(&any, 1, 1, 0, 0);
  if (host == nullptr) {
    error = "cannot open a UDP socket";
    return nullptr;
  }
  std::unique_ptr<EnetGuestLink> t(new EnetGuestLink(host));
  if (!t->WatchReady()) {
    error = "cannot watch the network sockets" + ErrnoReason(errno);
    return nullptr;
  }
  t->hostName_ = hostName;
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
  if (std::any_of(candidates.begin(), candidates.end(), isV6)) {
    int failure = 0;
    OpenRelay(UdpAddress::V6(in6addr_any, 0),
              UdpAddress::V4(htonl(INADDR_LOOPBACK), EnetSocketPort(host_)), failure);
    if (!relay_) {
      std::erase_if(candidates, isV6);
      if (candidates.empty()) {
        failure_ = "'" + hostName_ + "' has IPv6 addresses only, and IPv6 cannot be used here" +
                   ErrnoReason(failure);
        link_ = LinkState::Closed;
        return;
      }
    }
  }
  candidates_ = std::move(candidates);
}

bool EnetGuestLink::Admit(std::span<const uint8_t> datagram) {
  const ENetAddress& from = host_->receivedAddress;
  if (peer_ != nullptr) {
    if (SameEnetAddress(from, remoteHost_, remotePort_)) return true;
  } else {
    for (size_t i = 0; i < candidates_.size(); ++i) {
      if (!SameEnetAddress(from, candidates_[i])) continue;
      if (const std::optional<uint32_t> cookie = CookieOf(datagram)) Answered(i, *cookie);
      return false;
    }
  }
  ++counters_.strangersDropped;
  return false;
}

bool EnetGuestLink::AdmitRelayed(const UdpAddress& from, std::span<const uint8_t> datagram) {
  const auto at = std::find(candidates_.begin(), candidates_.end(), from);
  if (at != candidates_.end()) {
    if (const std::optional<uint32_t> cookie = CookieOf(datagram))
      Answered(static_cast<size_t>(at - candidates_.begin()), *cookie);
    return false;
  }
  ++counters_.strangersDropped;
  return false;
}

void EnetGuestLink::Knock() {
  const auto now = std::chrono::steady_clock::now();
  if (knocked_ && now - lastKnock_ < KnockEvery) return;
  knocked_ = true;
  lastKnock_ = now;
  const auto knock = KnockDatagram();
  for (const UdpAddress& to : candidates_) {
    if (to.Family() == AF_INET)
      SendRaw(ENetAddress{to.V4Host(), to.Port()}, knock);
    else
      SendRelayed(to, knock);
  }
}

void EnetGuestLink::Answered(size_t index, uint32_t cookie) {
  // Of answers that come in one turn, the resolver's order takes the first.
  if (answered_ >= 0 && static_cast<size_t>(answered_) <= index) return;
  answered_ = static_cast<int>(index);
  cookie_ = cookie;
}

void EnetGuestLink::ConnectToAnswer() {
  const UdpAddress& to = candidates_[static_cast<size_t>(answered_)];
  if (to.Family() == AF_INET6) {
    relay_->Link(to);
    remoteHost_ = relay_->Inner().V4Host();
    remotePort_ = relay_->Inner().Port();
  } else {
    remoteHost_ = to.V4Host();
    remotePort_ = to.Port();
    DropRelay();
  }
  ENetAddress address{remoteHost_, remotePort_};
  peer_ = enet_host_connect(host_, &address, 1, cookie_);
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

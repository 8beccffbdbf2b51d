#include "online/udp_relay.h"

#include <unistd.h>

#include <cerrno>

#include "online/transport.h"

namespace kavarin {

namespace {

// Datagrams read from each socket per CarryIn or CarryOut: a flood is left to the next one, as
// ENet does.
constexpr int MaxPerCarry = 256;
// Room for a link's largest datagram wrapped for a TURN server, in a Send or Data indication.
constexpr size_t TurnWrapping = 64;

int OpenSocket(const UdpAddress& at, int& errorNumber) {
  const int fd = socket(at.Family(), SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    errorNumber = errno;
    return -1;
  }
  const int on = 1;
  // IPv4 has a socket of its own.
  if ((at.Family() == AF_INET6 && setsockopt(fd, IPPROTO_IPV6, IPV6_V6ONLY, &on, sizeof on) != 0) ||
      bind(fd, at.Raw(), at.Length()) != 0) {
    errorNumber = errno;
    close(fd);
    return -1;
  }
  return fd;
}

// Reads what has arrived on `fd`, a bounded number, and hands each datagram to `handle`.
template <class Handle>
void Drain(int fd, int64_t& dropped, const Handle& handle) {
  std::array<uint8_t, MaxLinkDatagram + TurnWrapping> buffer;
  for (int i = 0; i < MaxPerCarry; ++i) {
    sockaddr_storage s{};
    socklen_t n = sizeof s;
    // MSG_TRUNC: the datagram's whole length, to know one too large for us.
    const ssize_t got = recvfrom(fd, buffer.data(), buffer.size(), MSG_DONTWAIT | MSG_TRUNC,
                                 reinterpret_cast<sockaddr*>(&s), &n);
    if (got < 0) {
      if (errno == EAGAIN || errno == EWOULDBLOCK) return;
      continue;  // an error the network reported for an earlier datagram
    }
    const std::optional<UdpAddress> from = UdpAddress::From(s);
    if (!from || static_cast<size_t>(got) > buffer.size()) {
      ++dropped;
      continue;
    }
    handle(*from, std::span<const uint8_t>(buffer.data(), static_cast<size_t>(got)));
  }
}

bool SendTo(int fd, const UdpAddress& to, std::span<const uint8_t> datagram) {
  return fd >= 0 && sendto(fd, datagram.data(), datagram.size(), MSG_DONTWAIT, to.Raw(),
                           to.Length()) == static_cast<ssize_t>(datagram.size());
}

size_t FamilyIndex(int family) {
  return family == AF_INET6 ? 1 : 0;
}

}  // namespace

std::unique_ptr<UdpRelay> UdpRelay::Open(std::span<const UdpAddress> outers, bool samePort,
                                         const UdpAddress& near, int& errorNumber,
                                         int& failedFamily) {
  failedFamily = near.Family();
  const int innerFd = OpenSocket(near.WithPort(0), errorNumber);
  if (innerFd < 0) return nullptr;
  std::unique_ptr<UdpRelay> relay(new UdpRelay(innerFd, near));
  const std::optional<UdpAddress> innerAt = LocalAddress(innerFd);
  if (!innerAt) {
    errorNumber = errno;
    return nullptr;
  }
  relay->inner_ = *innerAt;
  for (size_t i = 0; i < outers.size(); ++i) {
    failedFamily = outers[i].Family();
    const UdpAddress at = samePort && i > 0 && outers[i].Port() == 0
                              ? outers[i].WithPort(relay->outerPort_)
                              : outers[i];
    int& fd = relay->outerFd_[FamilyIndex(at.Family())];
    if (fd >= 0 || (fd = OpenSocket(at, errorNumber)) < 0) return nullptr;
    if (i == 0) {
      const std::optional<UdpAddress> outerAt = LocalAddress(fd);
      if (!outerAt) {
        errorNumber = errno;
        return nullptr;
      }
      relay->outerPort_ = outerAt->Port();
    }
  }
  return relay;
}

UdpRelay::UdpRelay(int innerFd, const UdpAddress& near) : innerFd_(innerFd), near_(near) {}

UdpRelay::~UdpRelay() {
  for (const int fd : outerFd_)
    if (fd >= 0) close(fd);
  close(innerFd_);
}

std::vector<int> UdpRelay::Fds() const {
  std::vector<int> fds{innerFd_};
  for (const int fd : outerFd_)
    if (fd >= 0) fds.push_back(fd);
  return fds;
}

int UdpRelay::OuterFd(int family) const {
  return family == AF_INET || family == AF_INET6 ? outerFd_[FamilyIndex(family)] : -1;
}

void UdpRelay::Link(const UdpAddress& far, const LinkSeal& seal) {
  far_ = far;
  seal_ = seal;
}

void UdpRelay::Unlink() {
  far_.reset();
  seal_.reset();
}

void UdpRelay::Route(std::unique_ptr<TurnClient> turn) {
  turn_ = std::move(turn);
}

bool UdpRelay::SendOut(const UdpAddress& to, std::span<const uint8_t> datagram) {
  if (turn_ && turn_->Carries(to)) {
    const std::optional<std::vector<uint8_t>> wrapped = turn_->Wrap(to, datagram);
    return wrapped && SendRaw(turn_->Server(), *wrapped);
  }
  return SendRaw(to, datagram);
}

bool UdpRelay::SendRaw(const UdpAddress& to, std::span<const uint8_t> datagram) {
  if (!SendTo(OuterFd(to.Family()), to, datagram)) return false;
  ++taken_.datagramsOut;
  taken_.bytesOut += static_cast<int64_t>(datagram.size());
  return true;
}

void UdpRelay::ToNear(std::span<const uint8_t> datagram) {
  SendTo(innerFd_, near_, datagram);
}

void UdpRelay::FromOutside(const UdpAddress& from, std::span<const uint8_t> datagram,
                           const Stranger& stranger) {
  if (datagram.size() > MaxLinkDatagram) {
    ++taken_.strangers;
  } else if (far_) {
    if (from != *far_)
      ++taken_.strangers;
    else if (seal_->Open(datagram, opened_))
      ToNear(opened_);
    else
      ++taken_.forged;
  } else if (std::optional<LinkSeal> offered = stranger(from, datagram)) {
    // The sender is the other machine only if the seal it was offered opens its datagram.
    if (offered->Open(datagram, opened_)) {
      Link(from, *offered);
      ToNear(opened_);
    } else {
      ++taken_.forged;
    }
  }
}

void UdpRelay::CarryIn(const Stranger& stranger) {
  for (const int fd : outerFd_) {
    if (fd < 0) continue;
    Drain(fd, taken_.strangers, [&](const UdpAddress& from, std::span<const uint8_t> datagram) {
      ++taken_.datagramsIn;
      taken_.bytesIn += static_cast<int64_t>(datagram.size());
      if (turn_ && from == turn_->Server()) {
        // The server's own answers are the client's; a peer's datagram goes on as the peer's.
        if (std::optional<TurnClient::FromPeer> p = turn_->Take(datagram, TurnClient::Clock::now()))
          FromOutside(p->peer, p->datagram, stranger);
        return;
      }
      FromOutside(from, datagram, stranger);
    });
  }
}

void UdpRelay::CarryOut() {
  if (turn_)
    for (const std::vector<uint8_t>& request : turn_->Due(TurnClient::Clock::now()))
      SendRaw(turn_->Server(), request);
  std::vector<uint8_t> sealed;
  Drain(innerFd_, taken_.strangers, [&](const UdpAddress& from, std::span<const uint8_t> datagram) {
    if (!far_ || from != near_ || datagram.size() > MaxLinkDatagram) {
      ++taken_.strangers;
      return;
    }
    seal_->Seal(datagram, sealed);
    SendOut(*far_, sealed);
  });
}

UdpRelay::Taken UdpRelay::Take() {
  const Taken t = taken_;
  taken_ = {};
  return t;
}

}  // namespace kavarin

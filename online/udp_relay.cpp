#include "online/udp_relay.h"

#include "online/transport.h"

#include <unistd.h>

#include <array>
#include <cerrno>

namespace kavarin {

namespace {

// Datagrams read from each socket per CarryIn or CarryOut: a flood is left to the next one, as
// ENet does.
constexpr int MaxPerCarry = 256;

int OpenSocket(const UdpAddress& at, int& errorNumber) {
  const int fd = socket(at.Family(), SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    errorNumber = errno;
    return -1;
  }
  const int on = 1;
  // The outer socket takes IPv6 alone: IPv4 is ENet's own socket's.
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
  std::array<uint8_t, MaxLinkDatagram> buffer;
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

void SendTo(int fd, const UdpAddress& to, std::span<const uint8_t> datagram) {
  sendto(fd, datagram.data(), datagram.size(), MSG_DONTWAIT, to.Raw(), to.Length());
}

}  // namespace

std::unique_ptr<UdpRelay> UdpRelay::Open(const UdpAddress& outer, const UdpAddress& near,
                                         int& errorNumber) {
  const int outerFd = OpenSocket(outer, errorNumber);
  if (outerFd < 0) return nullptr;
  const int innerFd = OpenSocket(near.WithPort(0), errorNumber);
  if (innerFd < 0) {
    close(outerFd);
    return nullptr;
  }
  std::unique_ptr<UdpRelay> relay(new UdpRelay(outerFd, innerFd, near));
  const std::optional<UdpAddress> outerAt = LocalAddress(outerFd);
  const std::optional<UdpAddress> innerAt = LocalAddress(innerFd);
  if (!outerAt || !innerAt) {
    errorNumber = errno;
    return nullptr;
  }
  relay->outerPort_ = outerAt->Port();
  relay->inner_ = *innerAt;
  return relay;
}

UdpRelay::UdpRelay(int outerFd, int innerFd, const UdpAddress& near)
    : outerFd_(outerFd), innerFd_(innerFd), near_(near) {}

UdpRelay::~UdpRelay() {
  close(outerFd_);
  close(innerFd_);
}

bool UdpRelay::SendOut(const UdpAddress& to, std::span<const uint8_t> datagram) const {
  return sendto(outerFd_, datagram.data(), datagram.size(), MSG_DONTWAIT, to.Raw(), to.Length()) ==
         static_cast<ssize_t>(datagram.size());
}

void UdpRelay::CarryIn(const Stranger& stranger) {
  Drain(outerFd_, dropped_, [&](const UdpAddress& from, std::span<const uint8_t> datagram) {
    if (far_) {
      if (from == *far_)
        SendTo(innerFd_, near_, datagram);
      else
        ++dropped_;
    } else if (stranger(from, datagram)) {
      far_ = from;
      SendTo(innerFd_, near_, datagram);
    }
  });
}

void UdpRelay::CarryOut() {
  Drain(innerFd_, dropped_, [&](const UdpAddress& from, std::span<const uint8_t> datagram) {
    if (far_ && from == near_)
      SendTo(outerFd_, *far_, datagram);
    else
      ++dropped_;
  });
}

int64_t UdpRelay::TakeDropped() {
  const int64_t n = dropped_;
  dropped_ = 0;
  return n;
}

}  // namespace kavarin

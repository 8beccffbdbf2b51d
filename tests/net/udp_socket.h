#pragma once

// A plain UDP socket on loopback (127.0.0.1 or ::1), for a test to play a stranger on the link.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace kavarin {

class UdpSocket {
 public:
  explicit UdpSocket(int family = AF_INET) : family_(family), fd_(socket(family, SOCK_DGRAM, 0)) {
    const sockaddr_storage a = Loopback(0);
    bound_ = fd_ >= 0 && bind(fd_, reinterpret_cast<const sockaddr*>(&a), Length()) == 0;
  }
  ~UdpSocket() {
    if (fd_ >= 0) close(fd_);
  }
  UdpSocket(const UdpSocket&) = delete;
  UdpSocket& operator=(const UdpSocket&) = delete;

  // Whether the loopback address could be had: a machine may have no ::1.
  bool Bound() const { return bound_; }
  uint16_t Port() const {
    sockaddr_storage a{};
    socklen_t n = sizeof a;
    getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &n);
    return family_ == AF_INET6 ? ntohs(reinterpret_cast<sockaddr_in6*>(&a)->sin6_port)
                               : ntohs(reinterpret_cast<sockaddr_in*>(&a)->sin_port);
  }
  void SendTo(uint16_t port, std::span<const uint8_t> datagram) const {
    const sockaddr_storage a = Loopback(port);
    sendto(fd_, datagram.data(), datagram.size(), 0, reinterpret_cast<const sockaddr*>(&a),
           Length());
  }
  // The next datagram to arrive within timeoutMs.
  std::optional<std::vector<uint8_t>> Receive(int timeoutMs) const {
    pollfd p{fd_, POLLIN, 0};
    if (poll(&p, 1, timeoutMs) <= 0) return std::nullopt;
    std::vector<uint8_t> d(65536);
    const ssize_t n = recv(fd_, d.data(), d.size(), 0);
    if (n < 0) return std::nullopt;
    d.resize(static_cast<size_t>(n));
    return d;
  }

 private:
  sockaddr_storage Loopback(uint16_t port) const {
    sockaddr_storage s{};
    if (family_ == AF_INET6) {
      sockaddr_in6& a = *reinterpret_cast<sockaddr_in6*>(&s);
      a.sin6_family = AF_INET6;
      a.sin6_port = htons(port);
      a.sin6_addr = in6addr_loopback;
    } else {
      sockaddr_in& a = *reinterpret_cast<sockaddr_in*>(&s);
      a.sin_family = AF_INET;
      a.sin_port = htons(port);
      a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    }
    return s;
  }
  socklen_t Length() const {
    return family_ == AF_INET6 ? sizeof(sockaddr_in6) : sizeof(sockaddr_in);
  }
  int family_;
  int fd_;
  bool bound_ = false;
};

// Skips the running test on a machine where ::1 cannot be had.
#define KAVARIN_SKIP_WITHOUT_IPV6_LOOPBACK()                                         \
  do {                                                                               \
    if (!UdpSocket(AF_INET6).Bound())                                                \
      GTEST_SKIP() << "this machine has no IPv6 loopback (::1): IPv6 is not tested"; \
  } while (false)

}  // namespace kavarin

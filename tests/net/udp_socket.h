#pragma once

// A plain UDP socket on 127.0.0.1, for a test to play a stranger on the link.

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
  UdpSocket() : fd_(socket(AF_INET, SOCK_DGRAM, 0)) {
    sockaddr_in a = Loopback(0);
    bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a);
  }
  ~UdpSocket() { close(fd_); }
  UdpSocket(const UdpSocket&) = delete;
  UdpSocket& operator=(const UdpSocket&) = delete;

  uint16_t Port() const {
    sockaddr_in a{};
    socklen_t n = sizeof a;
    getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &n);
    return ntohs(a.sin_port);
  }
  void SendTo(uint16_t port, std::span<const uint8_t> datagram) const {
    sockaddr_in a = Loopback(port);
    sendto(fd_, datagram.data(), datagram.size(), 0, reinterpret_cast<sockaddr*>(&a), sizeof a);
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
  static sockaddr_in Loopback(uint16_t port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return a;
  }
  int fd_;
};

}  // namespace kavarin

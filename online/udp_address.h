#pragma once

#include <netinet/in.h>
#include <sys/socket.h>

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kavarin {

// An IPv4 or IPv6 address with a UDP port, as the sockets API takes it.
class UdpAddress {
 public:
  UdpAddress() = default;
  // IPv4 as ENet keeps it: the address in network order, the port in host order.
  static UdpAddress V4(uint32_t host, uint16_t port);
  static UdpAddress V6(const in6_addr& host, uint16_t port, uint32_t scope = 0);
  // From what recvfrom filled in; nothing for another family.
  static std::optional<UdpAddress> From(const sockaddr_storage& s);

  int Family() const { return storage_.ss_family; }
  uint16_t Port() const;
  // IPv4's address in network order.
  uint32_t V4Host() const;
  std::array<uint8_t, 16> V6Host() const;
  bool IsAny() const;
  UdpAddress WithPort(uint16_t port) const;
  const sockaddr* Raw() const { return reinterpret_cast<const sockaddr*>(&storage_); }
  socklen_t Length() const;
  // Address, port and, for IPv6, the scope: what tells one sender from another.
  bool operator==(const UdpAddress& other) const;

 private:
  sockaddr_storage storage_{};
};

// An IPv4 or IPv6 address written as digits ("127.0.0.1", "::1", "fe80::1%eth0").
std::optional<UdpAddress> NumericAddress(const std::string& text, uint16_t port);
// The addresses of `host` (a name or an address), in the order the resolver prefers, without
// repeats, at most `limit`. Empty, with `error` set, when it has none. Asks the resolver, which
// may take as long as a name server does.
std::vector<UdpAddress> ResolveUdp(const std::string& host, uint16_t port, size_t limit,
                                   std::string& error);
// "192.0.2.1:29170", "[2001:db8::1]:29170": as a player reads it.
std::string AddressText(const UdpAddress& address);
// The local address of a socket.
std::optional<UdpAddress> LocalAddress(int fd);

}  // namespace kavarin

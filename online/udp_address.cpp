#include "online/udp_address.h"

#include <arpa/inet.h>
#include <netdb.h>

#include <algorithm>
#include <cstring>

namespace kavarin {

namespace {

const sockaddr_in& AsV4(const sockaddr_storage& s) {
  return *reinterpret_cast<const sockaddr_in*>(&s);
}
const sockaddr_in6& AsV6(const sockaddr_storage& s) {
  return *reinterpret_cast<const sockaddr_in6*>(&s);
}

}  // namespace

UdpAddress UdpAddress::V4(uint32_t host, uint16_t port) {
  UdpAddress a;
  sockaddr_in& v4 = *reinterpret_cast<sockaddr_in*>(&a.storage_);
  v4.sin_family = AF_INET;
  v4.sin_addr.s_addr = host;
  v4.sin_port = htons(port);
  return a;
}

UdpAddress UdpAddress::V6(const in6_addr& host, uint16_t port, uint32_t scope) {
  UdpAddress a;
  sockaddr_in6& v6 = *reinterpret_cast<sockaddr_in6*>(&a.storage_);
  v6.sin6_family = AF_INET6;
  v6.sin6_addr = host;
  v6.sin6_port = htons(port);
  v6.sin6_scope_id = scope;
  return a;
}

std::optional<UdpAddress> UdpAddress::From(const sockaddr_storage& s) {
  if (s.ss_family == AF_INET) return V4(AsV4(s).sin_addr.s_addr, ntohs(AsV4(s).sin_port));
  if (s.ss_family == AF_INET6)
    return V6(AsV6(s).sin6_addr, ntohs(AsV6(s).sin6_port), AsV6(s).sin6_scope_id);
  return std::nullopt;
}

uint16_t UdpAddress::Port() const {
  if (Family() == AF_INET) return ntohs(AsV4(storage_).sin_port);
  if (Family() == AF_INET6) return ntohs(AsV6(storage_).sin6_port);
  return 0;
}

uint32_t UdpAddress::V4Host() const {
  return Family() == AF_INET ? AsV4(storage_).sin_addr.s_addr : 0;
}

std::array<uint8_t, 16> UdpAddress::V6Host() const {
  std::array<uint8_t, 16> bytes{};
  if (Family() == AF_INET6) std::memcpy(bytes.data(), &AsV6(storage_).sin6_addr, bytes.size());
  return bytes;
}

bool UdpAddress::IsAny() const {
  if (Family() == AF_INET) return V4Host() == htonl(INADDR_ANY);
  return Family() == AF_INET6 && IN6_IS_ADDR_UNSPECIFIED(&AsV6(storage_).sin6_addr);
}

UdpAddress UdpAddress::WithPort(uint16_t port) const {
  UdpAddress a = *this;
  if (Family() == AF_INET) reinterpret_cast<sockaddr_in*>(&a.storage_)->sin_port = htons(port);
  if (Family() == AF_INET6) reinterpret_cast<sockaddr_in6*>(&a.storage_)->sin6_port = htons(port);
  return a;
}

socklen_t UdpAddress::Length() const {
  if (Family() == AF_INET) return sizeof(sockaddr_in);
  if (Family() == AF_INET6) return sizeof(sockaddr_in6);
  return 0;
}

bool UdpAddress::operator==(const UdpAddress& other) const {
  if (Family() != other.Family() || Port() != other.Port()) return false;
  if (Family() == AF_INET) return V4Host() == other.V4Host();
  if (Family() == AF_INET6)
    return V6Host() == other.V6Host() &&
           AsV6(storage_).sin6_scope_id == AsV6(other.storage_).sin6_scope_id;
  return true;
}

namespace {

// getaddrinfo's answers for UDP, empty with `error` set when there are none.
std::vector<UdpAddress> Lookup(const std::string& host, uint16_t port, int flags, size_t limit,
                               std::string& error) {
  std::vector<UdpAddress> found;
  if (host.empty() || host.find('\0') != std::string::npos) {
    error = "no host name or address given";
    return found;
  }
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_DGRAM;
  hints.ai_flags = flags;
  addrinfo* list = nullptr;
  const int failed = getaddrinfo(host.c_str(), nullptr, &hints, &list);
  if (failed != 0) {
    error = gai_strerror(failed);
    return found;
  }
  for (const addrinfo* a = list; a != nullptr && found.size() < limit; a = a->ai_next) {
    if (a->ai_addr == nullptr || a->ai_addrlen > sizeof(sockaddr_storage)) continue;
    sockaddr_storage s{};
    std::memcpy(&s, a->ai_addr, a->ai_addrlen);
    std::optional<UdpAddress> address = UdpAddress::From(s);
    // An IPv4 address written as IPv6 ("::ffff:192.0.2.1") is reached over IPv4.
    if (address && address->Family() == AF_INET6 && IN6_IS_ADDR_V4MAPPED(&AsV6(s).sin6_addr)) {
      uint32_t host = 0;
      std::memcpy(&host, &AsV6(s).sin6_addr.s6_addr[12], sizeof host);
      address = UdpAddress::V4(host, 0);
    }
    if (address && std::find(found.begin(), found.end(), address->WithPort(port)) == found.end())
      found.push_back(address->WithPort(port));
  }
  freeaddrinfo(list);
  if (found.empty()) error = "no IPv4 or IPv6 address";
  return found;
}

}  // namespace

std::optional<UdpAddress> NumericAddress(const std::string& text, uint16_t port) {
  std::string error;
  const std::vector<UdpAddress> found = Lookup(text, port, AI_NUMERICHOST, 1, error);
  if (found.empty()) return std::nullopt;
  return found.front();
}

std::vector<UdpAddress> ResolveUdp(const std::string& host, uint16_t port, size_t limit,
                                   std::string& error) {
  return Lookup(host, port, 0, limit, error);
}

std::optional<UdpAddress> LocalAddress(int fd) {
  sockaddr_storage s{};
  socklen_t n = sizeof s;
  if (getsockname(fd, reinterpret_cast<sockaddr*>(&s), &n) != 0) return std::nullopt;
  return UdpAddress::From(s);
}

std::string AddressText(const UdpAddress& address) {
  char text[INET6_ADDRSTRLEN] = {};
  if (address.Family() == AF_INET) {
    const in_addr host{address.V4Host()};
    inet_ntop(AF_INET, &host, text, sizeof text);
    return std::string(text) + ":" + std::to_string(address.Port());
  }
  const auto* v6 = reinterpret_cast<const sockaddr_in6*>(address.Raw());
  inet_ntop(AF_INET6, &v6->sin6_addr, text, sizeof text);
  return "[" + std::string(text) + "]:" + std::to_string(address.Port());
}

}  // namespace kavarin

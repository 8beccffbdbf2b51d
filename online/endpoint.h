#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kavarin {

// The UDP port a host waits on unless told otherwise: the one to open in a firewall or router.
constexpr uint16_t DefaultPort = 29170;

// Where a guest connects to.
struct Endpoint {
  std::string host;  // a name or an IPv4 address
  uint16_t port = DefaultPort;
};

// A port number, 1..65535 (or 0 when `allowAny`: the system picks a free one).
std::optional<uint16_t> ParsePort(std::string_view text, bool allowAny, std::string& error);
// "HOST" or "HOST:PORT". IPv6 addresses are refused with a message saying why: the network
// library (ENet 1.3) speaks IPv4 only.
std::optional<Endpoint> ParseEndpoint(std::string_view text, std::string& error);

}  // namespace kavarin

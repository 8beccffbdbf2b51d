#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kavarin {

// The UDP port a host waits on unless told otherwise: the one to open in a firewall or router,
// for IPv4 and IPv6 alike.
constexpr uint16_t DefaultPort = 29170;

// Where a guest connects to.
struct Endpoint {
  std::string host;  // a name, an IPv4 address or an IPv6 address (without brackets)
  uint16_t port = DefaultPort;
};

// A port number, 1..65535 (or 0 when `allowAny`: the system picks a free one).
std::optional<uint16_t> ParsePort(std::string_view text, bool allowAny, std::string& error);
// "HOST", "HOST:PORT", an IPv6 address alone ("::1") or in brackets, with a port or without
// ("[::1]:29170", "[::1]"). An IPv6 address with a port needs the brackets: "::1:4000" is an
// address.
std::optional<Endpoint> ParseEndpoint(std::string_view text, std::string& error);
// The endpoint as ParseEndpoint reads it back: "host:port", or "[address]:port" for IPv6.
std::string EndpointText(const Endpoint& endpoint);

}  // namespace kavarin

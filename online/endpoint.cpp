#include "online/endpoint.h"

#include <algorithm>

namespace kavarin {

std::optional<uint16_t> ParsePort(std::string_view text, bool allowAny, std::string& error) {
  uint32_t port = 0;
  const bool digits =
      !text.empty() && text.size() <= 5 &&
      std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
  if (digits)
    for (char c : text) port = port * 10 + static_cast<uint32_t>(c - '0');
  if (!digits || port > 65535 || (port == 0 && !allowAny)) {
    error =
        "'" + std::string(text) + "' is not a port number (" + (allowAny ? "0" : "1") + "..65535)";
    return std::nullopt;
  }
  return static_cast<uint16_t>(port);
}

std::optional<Endpoint> ParseEndpoint(std::string_view text, std::string& error) {
  if (text.starts_with('[') || std::count(text.begin(), text.end(), ':') > 1) {
    error = "'" + std::string(text) +
            "' is an IPv6 address; only IPv4 addresses and host names are supported";
    return std::nullopt;
  }
  Endpoint e;
  const size_t colon = text.find(':');
  e.host = std::string(text.substr(0, colon));
  if (e.host.empty()) {
    error = "no host name or address in '" + std::string(text) + "'";
    return std::nullopt;
  }
  if (colon != std::string_view::npos) {
    const std::optional<uint16_t> port = ParsePort(text.substr(colon + 1), false, error);
    if (!port) return std::nullopt;
    e.port = *port;
  }
  return e;
}

}  // namespace kavarin

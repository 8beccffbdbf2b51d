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
    // Appended rather than "'" + std::string(text): g++ 12 at -O3 warns of an overlapping copy
    // in the string inserted at the front, which cannot happen (GCC bug 105329).
    error = std::string("'").append(text).append("' is not a port number (");
    error.append(allowAny ? "0" : "1").append("..65535)");
    return std::nullopt;
  }
  return static_cast<uint16_t>(port);
}

std::optional<Endpoint> ParseEndpoint(std::string_view text, std::string& error) {
  const std::string quoted = std::string("'").append(text).append("'");
  Endpoint e;
  std::string_view portText;
  if (text.starts_with('[')) {
    const size_t close = text.find(']');
    if (close == std::string_view::npos) {
      error = quoted + " has no ']' after the IPv6 address";
      return std::nullopt;
    }
    e.host = std::string(text.substr(1, close - 1));
    if (e.host.find(':') == std::string::npos) {
      error = quoted + ": only an IPv6 address goes in brackets";
      return std::nullopt;
    }
    const std::string_view rest = text.substr(close + 1);
    if (!rest.empty() && !rest.starts_with(':')) {
      error = quoted + ": after ']' only ':PORT' may follow";
      return std::nullopt;
    }
    if (!rest.empty())
      portText = rest.substr(1);
    else
      return e;
  } else if (std::count(text.begin(), text.end(), ':') > 1) {
    e.host = std::string(text);  // an IPv6 address without a port
    return e;
  } else {
    const size_t colon = text.find(':');
    e.host = std::string(text.substr(0, colon));
    if (e.host.empty()) {
      error = "no host name or address in " + quoted;
      return std::nullopt;
    }
    if (colon == std::string_view::npos) return e;
    portText = text.substr(colon + 1);
  }
  const std::optional<uint16_t> port = ParsePort(portText, false, error);
  if (!port) return std::nullopt;
  e.port = *port;
  return e;
}

std::string EndpointText(const Endpoint& endpoint) {
  const bool v6 = endpoint.host.find(':') != std::string::npos;
  return (v6 ? "[" + endpoint.host + "]" : endpoint.host) + ":" + std::to_string(endpoint.port);
}

}  // namespace kavarin

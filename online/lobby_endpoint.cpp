#include "online/lobby_endpoint.h"

#include <algorithm>
#include <vector>

#include "lobby/lobby_wire.h"

namespace kavarin {

std::optional<Endpoint> ParseLobbyEndpoint(std::string_view text, std::string& error) {
  std::optional<Endpoint> e = ParseEndpoint(text, error);
  if (!e) return e;
  // ParseEndpoint's rule for a port: after "]:" in brackets, else after the only colon.
  const bool portGiven = text.starts_with('[') ? text.find("]:") != std::string_view::npos
                                               : std::count(text.begin(), text.end(), ':') == 1;
  if (!portGiven) e->port = DefaultLobbyPort;
  return e;
}

std::optional<UdpAddress> ResolveLobby(const Endpoint& lobby, std::string& error) {
  std::string why;
  const std::vector<UdpAddress> found = ResolveUdp(lobby.host, lobby.port, 8, why);
  if (found.empty()) {
    error = "cannot find the address of the lobby '" + lobby.host + "': " + why;
    return std::nullopt;
  }
  const auto v4 = std::find_if(found.begin(), found.end(),
                               [](const UdpAddress& a) { return a.Family() == AF_INET; });
  return v4 != found.end() ? *v4 : found.front();
}

}  // namespace kavarin

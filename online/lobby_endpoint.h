#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "online/endpoint.h"
#include "online/udp_address.h"

namespace kavarin {

// "HOST" or "HOST:PORT" of a kavarin-lobby, as ParseEndpoint reads it but on the lobby's own
// port when none is given.
std::optional<Endpoint> ParseLobbyEndpoint(std::string_view text, std::string& error);
// The lobby's address, IPv4 first (a home router's NAT is where the lobby helps most, and it is
// IPv4's); nothing, with `error` set, when the name has none. Asks the resolver.
std::optional<UdpAddress> ResolveLobby(const Endpoint& lobby, std::string& error);

}  // namespace kavarin

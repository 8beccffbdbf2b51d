#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "lobby/lobby_wire.h"

namespace kavarin {

// coturn's shared-secret credentials (use-auth-secret, static-auth-secret): the server takes any
// username "EXPIRY:ANYTHING" until EXPIRY, with the password base64(HMAC-SHA1(secret, username)).
std::string TurnPassword(std::string_view secret, std::string_view username);
// The grant for room `code`, good until `expiry` (seconds since 1970).
TurnGrant MakeTurnGrant(const UdpAddress& server, std::string_view secret, int64_t expiry,
                        const RoomCode& code);

}  // namespace kavarin

#pragma once

// Players and strangers for the lobby's tests, on documentation addresses, with a clock of the
// test's own.

#include <arpa/inet.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "lobby/lobby_rooms.h"

namespace kavarin {

inline UdpAddress TestV4(const char* text, uint16_t port) {
  in_addr a{};
  inet_pton(AF_INET, text, &a);
  return UdpAddress::V4(a.s_addr, port);
}

inline UdpAddress TestV6(const char* text, uint16_t port) {
  in6_addr a{};
  inet_pton(AF_INET6, text, &a);
  return UdpAddress::V6(a, port);
}

// The answer to `request` from `from`, decoded; nothing when the lobby stays silent.
inline std::optional<LobbyAnswer> Ask(LobbyRooms& rooms, const UdpAddress& from,
                                      const LobbyRequest& request,
                                      LobbyRooms::Clock::time_point now) {
  const std::vector<uint8_t> asked = EncodeRequest(request);
  const auto told = rooms.Handle(from, asked, now);
  if (!told) return std::nullopt;
  EXPECT_LE(told->size(), asked.size());
  const RoomTicket& ticket =
      std::visit([](const auto& r) -> const RoomTicket& { return r.ticket; }, request);
  const auto answer = DecodeAnswer(*told, ticket);
  EXPECT_TRUE(answer) << "the lobby answered with bytes a player cannot read";
  return answer;
}

// The answer, when it is of kind T.
template <typename T>
std::optional<T> As(const std::optional<LobbyAnswer>& answer) {
  if (!answer || !std::holds_alternative<T>(*answer)) return std::nullopt;
  return std::get<T>(*answer);
}

inline RoomTicket TicketOf(uint8_t seed) {
  RoomTicket t{};
  t.fill(seed);
  return t;
}

}  // namespace kavarin

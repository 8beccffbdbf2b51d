#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "online/udp_address.h"

namespace kavarin {

// What a player's game and kavarin-lobby say to each other, one UDP datagram each way. The lobby
// only ever answers, and every request is padded to LobbyRequestSize, which no answer exceeds: a
// lobby cannot be made to send more than it is sent, whatever address a request claims.
constexpr uint16_t DefaultLobbyPort = 29171;
constexpr size_t LobbyRequestSize = 256;
// Local addresses a player tells the lobby, and the lobby passes on.
constexpr size_t MaxLocalAddresses = 4;

// Eight characters of an alphabet without 0, O, 1, I or L, which people misread; written
// "K7QX-M4PD" for them.
constexpr size_t RoomCodeLength = 8;
using RoomCode = std::array<char, RoomCodeLength>;
// What a player typed, in either case, with or without the dash and spaces; nothing, with
// `error` set, when it cannot be a code.
std::optional<RoomCode> ParseRoomCode(std::string_view typed, std::string& error);
std::string RoomCodeText(const RoomCode& code);

// A random secret each player makes for its room: whoever holds a room's code but not a ticket
// of it learns nothing of the room.
using RoomTicket = std::array<uint8_t, 16>;

// Time-limited credentials for a TURN server, made with its shared secret.
struct TurnGrant {
  UdpAddress server;
  std::string username;  // "EXPIRY:ROOM", EXPIRY in seconds since 1970
  std::string password;  // base64 of HMAC-SHA1(secret, username)
  bool operator==(const TurnGrant&) const = default;
};

// Where a player can be reached: as the lobby saw it, on its own network, and, once it has one,
// through a TURN relay.
struct PlayerAddresses {
  UdpAddress seen;
  std::vector<UdpAddress> local;
  std::optional<UdpAddress> relayed;
  bool operator==(const PlayerAddresses&) const = default;
};

// Requests.
struct OpenRoom {  // a host asks for a new room
  RoomTicket ticket{};
  std::vector<UdpAddress> local;
  bool operator==(const OpenRoom&) const = default;
};
struct JoinRoom {  // a guest asks for the room of a code
  RoomCode code{};
  RoomTicket ticket{};
  std::vector<UdpAddress> local;
  bool operator==(const JoinRoom&) const = default;
};
struct PollRoom {  // either player, until the two are linked; may tell the lobby its relay
  RoomCode code{};
  RoomTicket ticket{};
  std::optional<UdpAddress> relayed;
  bool operator==(const PollRoom&) const = default;
};
using LobbyRequest = std::variant<OpenRoom, JoinRoom, PollRoom>;

// Answers.
struct RoomWaiting {  // a room with its host alone in it
  RoomCode code{};
  UdpAddress you;
  bool operator==(const RoomWaiting&) const = default;
};
struct RoomMet {  // both players are in the room
  RoomCode code{};
  bool host = false;  // whether the one asked is the room's host
  UdpAddress you;
  PlayerAddresses other;
  std::optional<TurnGrant> turn;
  bool operator==(const RoomMet&) const = default;
};
// No room of that code for that ticket: unknown, expired, full or already used, all alike.
struct NoRoom {
  RoomCode code{};
  bool operator==(const NoRoom&) const = default;
};
using LobbyAnswer = std::variant<RoomWaiting, RoomMet, NoRoom>;

// Always exactly LobbyRequestSize bytes.
std::vector<uint8_t> EncodeRequest(const LobbyRequest& request);
// At most LobbyRequestSize bytes, ending in AnswerTagSize bytes of BLAKE2b keyed with the ticket
// of the request it answers, over all before them: only the lobby, which was told the ticket,
// can answer a player, however well someone else forges the lobby's address.
constexpr size_t AnswerTagSize = 16;
std::vector<uint8_t> EncodeAnswer(const LobbyAnswer& answer, const RoomTicket& ticket);
// Nothing for anything that is not a whole, well-formed datagram of its kind; an answer also
// when its tag does not hold under `ticket`.
std::optional<LobbyRequest> DecodeRequest(std::span<const uint8_t> datagram);
std::optional<LobbyAnswer> DecodeAnswer(std::span<const uint8_t> datagram,
                                        const RoomTicket& ticket);
// Whether an answer-sized datagram's tag holds under `ticket`, whatever it says.
bool AnswerTagHolds(std::span<const uint8_t> datagram, const RoomTicket& ticket);
// Whether a datagram says it is the lobby's (its first bytes), to tell it from the other
// traffic on the socket that spoke to the lobby.
bool LooksLikeLobby(std::span<const uint8_t> datagram);

}  // namespace kavarin

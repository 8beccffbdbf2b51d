// Feeds arbitrary datagrams to the lobby's decoders and to its rooms, with two players met in a
// room all along. The input is a list of steps: a byte whose bits 0..3 pick one of 16 sources
// (never a player's), bits 5..7 how many tenths of a second pass first, and bit 4 whether the
// datagram is filled with zeros to a request's size; then a length byte and that many bytes.
// A request whose kind is a join or a poll and whose code begins "*" gets the players' code
// instead, so that the fuzzer reaches their room.
// Whatever arrives, nothing may crash; every datagram a decoder accepts encodes back to the same
// bytes; the lobby never answers with more than it was sent, nor anything the asker cannot read
// under its own ticket; no datagram the fuzzer makes passes for an answer to either player;
// and while the room lasts its host still sees its own guest: no datagram without a ticket moves
// a player.
#include <arpa/inet.h>
#include <sodium.h>

#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

#include "lobby/lobby_rooms.h"

namespace kavarin::fuzz {
namespace {

using Clock = LobbyRooms::Clock;

void Check(bool holds) {
  if (!holds) std::abort();
}

UdpAddress Source(uint8_t n) {
  if (n & 8) {
    in6_addr a{};
    a.s6_addr[0] = 0x20, a.s6_addr[1] = 0x01, a.s6_addr[2] = 0x0d, a.s6_addr[3] = 0xb8;
    a.s6_addr[7] = n;
    return UdpAddress::V6(a, static_cast<uint16_t>(1000 + n));
  }
  return UdpAddress::V4(htonl(0xcb007100u | n), static_cast<uint16_t>(1000 + n));
}

}  // namespace
}  // namespace kavarin::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace kavarin;
  using namespace kavarin::fuzz;
  const Clock::time_point start = Clock::time_point{} + std::chrono::hours(1);
  LobbyRooms rooms(LobbyRooms::Turn{Source(0), "fuzz-secret"}, start, 1796000000, nullptr);
  const UdpAddress hostAt = UdpAddress::V4(htonl(0xc6336407u), 4000);
  const UdpAddress guestAt = UdpAddress::V4(htonl(0xc6336408u), 4000);
  // Fresh tickets for every input: whoever holds one is that player, so the fuzzer must not be
  // able to learn them from the comparisons it watches.
  RoomTicket hostTicket{}, guestTicket{};
  randombytes_buf(hostTicket.data(), hostTicket.size());
  randombytes_buf(guestTicket.data(), guestTicket.size());
  const auto opened = rooms.Handle(hostAt, EncodeRequest(OpenRoom{hostTicket, {}}), start);
  Check(opened.has_value());
  const RoomCode code = std::get<RoomWaiting>(*DecodeAnswer(*opened, hostTicket)).code;
  Check(rooms.Handle(guestAt, EncodeRequest(JoinRoom{code, guestTicket, {}}), start).has_value());

  Clock::time_point now = start;
  size_t at = 0;
  while (at + 2 <= size) {
    const uint8_t step = data[at++];
    const size_t asked = data[at++];
    const size_t length = std::min(asked, size - at);
    std::vector<uint8_t> datagram(data + at, data + at + length);
    at += length;
    if (step & 0x10) datagram.resize(LobbyRequestSize, 0);
    if (datagram.size() > 14 && (datagram[5] == 2 || datagram[5] == 3) && datagram[6] == '*')
      std::copy(code.begin(), code.end(), datagram.begin() + 6);
    now += std::chrono::milliseconds(100) * (step >> 5);

    if (const auto request = DecodeRequest(datagram)) Check(EncodeRequest(*request) == datagram);
    // Without a player's ticket there is no answer a player takes.
    Check(!AnswerTagHolds(datagram, hostTicket) && !AnswerTagHolds(datagram, guestTicket));
    const auto request = DecodeRequest(datagram);
    if (const auto told = rooms.Handle(Source(step & 15), datagram, now)) {
      Check(told->size() <= datagram.size() && request.has_value());
      const RoomTicket& ticket =
          std::visit([](const auto& r) -> const RoomTicket& { return r.ticket; }, *request);
      const auto answer = DecodeAnswer(*told, ticket);
      Check(answer.has_value() && EncodeAnswer(*answer, ticket) == *told);
    }
    Check(rooms.Rooms() <= MaxRooms && rooms.Sources() <= rooms.SourceCapacity());
  }
  if (now - start < MetRoomGrace) {
    const auto seen = rooms.Handle(hostAt, EncodeRequest(PollRoom{code, hostTicket, {}}), now);
    Check(seen.has_value());
    const auto answer = DecodeAnswer(*seen, hostTicket);
    Check(answer && std::holds_alternative<RoomMet>(*answer) &&
          std::get<RoomMet>(*answer).other.seen == guestAt);
  }
  return 0;
}

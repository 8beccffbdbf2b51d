#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "lobby/turn_grant.h"
#include "tests/lobby/lobby_test_support.h"

namespace kavarin {
namespace {

using Clock = LobbyRooms::Clock;
using std::chrono::milliseconds;
using std::chrono::seconds;

const Clock::time_point T0 = Clock::time_point{} + std::chrono::hours(1);
constexpr int64_t UnixAtT0 = 1796000000;

TEST(TurnGrant, PasswordIsCoturnsHmacOfTheUsername) {
  // Made with: echo -n '1796000000:K7QXM4PD' | openssl dgst -sha1 -hmac north-sea-secret
  //   -binary | base64 (and python3's hmac module agrees).
  EXPECT_EQ(TurnPassword("north-sea-secret", "1796000000:K7QXM4PD"),
            "LoXb8Y9hm+bYRWv6KcUxpnrSmzg=");
  const RoomCode code{'K', '7', 'Q', 'X', 'M', '4', 'P', 'D'};
  const TurnGrant grant =
      MakeTurnGrant(TestV4("192.0.2.9", 3478), "north-sea-secret", 1796000000, code);
  EXPECT_EQ(grant.username, "1796000000:K7QXM4PD");
  EXPECT_EQ(grant.password, "LoXb8Y9hm+bYRWv6KcUxpnrSmzg=");
}

TEST(LobbyRooms, ARoomMeetsOnceIsToldOnlyToItsTicketsAndEnds) {
  std::vector<std::string> log;
  LobbyRooms rooms(LobbyRooms::Turn{TestV4("192.0.2.9", 3478), "north-sea-secret"}, T0, UnixAtT0,
                   [&](const std::string& line) { log.push_back(line); });
  const UdpAddress hostAt = TestV4("198.51.100.7", 40001);
  const UdpAddress guestAt = TestV6("2001:db8:5::9", 40002);
  const UdpAddress strangerAt = TestV4("203.0.113.66", 555);
  const std::vector<UdpAddress> hostLocal = {TestV4("10.0.0.7", 29170)};
  const std::vector<UdpAddress> guestLocal = {TestV4("10.1.0.8", 29170), TestV6("fd00::8", 29170)};
  const RoomTicket host = TicketOf(1), guest = TicketOf(2), stranger = TicketOf(3);

  const auto waiting = As<RoomWaiting>(Ask(rooms, hostAt, OpenRoom{host, hostLocal}, T0));
  ASSERT_TRUE(waiting);
  const RoomCode code = waiting->code;
  EXPECT_EQ(waiting->you, hostAt);
  // Asked again (the answer was lost): the same room.
  const auto again = Ask(rooms, hostAt, OpenRoom{host, hostLocal}, T0 + milliseconds(250));
  ASSERT_TRUE(As<RoomWaiting>(again));
  EXPECT_EQ(As<RoomWaiting>(again)->code, code);
  EXPECT_EQ(rooms.Rooms(), 1u);
  // The code without its ticket tells nothing, and the host cannot be its own guest.
  EXPECT_TRUE(As<NoRoom>(Ask(rooms, strangerAt, PollRoom{code, stranger, {}}, T0 + seconds(1))));
  EXPECT_TRUE(As<NoRoom>(Ask(rooms, hostAt, JoinRoom{code, host, {}}, T0 + seconds(1))));

  const Clock::time_point joined = T0 + seconds(30);
  const auto met = As<RoomMet>(Ask(rooms, guestAt, JoinRoom{code, guest, guestLocal}, joined));
  ASSERT_TRUE(met);
  EXPECT_FALSE(met->host);
  EXPECT_EQ(met->you, guestAt);
  EXPECT_EQ(met->other, (PlayerAddresses{hostAt, hostLocal, std::nullopt}));
  ASSERT_TRUE(met->turn);
  const std::string expiry = std::to_string(UnixAtT0 + 30 + 7200);
  EXPECT_EQ(met->turn->username, expiry + ":" + std::string(code.begin(), code.end()));
  EXPECT_EQ(met->turn->password, TurnPassword("north-sea-secret", met->turn->username));

  // The guest tells its relay; the host, polling from a new port, hears of it.
  const UdpAddress relay = TestV4("192.0.2.9", 50000);
  ASSERT_TRUE(As<RoomMet>(Ask(rooms, guestAt, PollRoom{code, guest, relay}, joined + seconds(1))));
  const UdpAddress hostMoved = hostAt.WithPort(40009);
  const auto hostMet =
      As<RoomMet>(Ask(rooms, hostMoved, PollRoom{code, host, {}}, joined + seconds(2)));
  ASSERT_TRUE(hostMet);
  EXPECT_TRUE(hostMet->host);
  EXPECT_EQ(hostMet->other, (PlayerAddresses{guestAt, guestLocal, relay}));
  EXPECT_EQ(hostMet->turn, met->turn);
  const auto guestMet =
      As<RoomMet>(Ask(rooms, guestAt, JoinRoom{code, guest, guestLocal}, joined + seconds(3)));
  ASSERT_TRUE(guestMet) << "the guest asking again is still the guest";
  EXPECT_EQ(guestMet->other.seen, hostMoved);

  // One match: a second joiner and a third party with the code get nothing of the room.
  EXPECT_TRUE(
      As<NoRoom>(Ask(rooms, strangerAt, JoinRoom{code, stranger, {}}, joined + seconds(4))));
  EXPECT_TRUE(
      As<NoRoom>(Ask(rooms, strangerAt, PollRoom{code, stranger, relay}, joined + seconds(5))));
  EXPECT_TRUE(As<RoomMet>(Ask(rooms, hostAt, PollRoom{code, host, {}}, joined + seconds(59))));
  EXPECT_TRUE(As<NoRoom>(Ask(rooms, hostAt, PollRoom{code, host, {}}, joined + seconds(61))));
  EXPECT_EQ(rooms.Rooms(), 0u);

  // A room nobody joins lasts ten minutes, and then its code is nothing.
  const Clock::time_point later = joined + seconds(100);
  const auto lonely = As<RoomWaiting>(Ask(rooms, hostAt, OpenRoom{TicketOf(4), {}}, later));
  ASSERT_TRUE(lonely);
  EXPECT_NE(lonely->code, code);
  EXPECT_TRUE(As<RoomWaiting>(Ask(rooms, hostAt, PollRoom{lonely->code, TicketOf(4), {}},
                                  later + std::chrono::minutes(10) - seconds(1))));
  EXPECT_TRUE(As<NoRoom>(
      Ask(rooms, guestAt, JoinRoom{lonely->code, guest, {}}, later + std::chrono::minutes(10))));
  EXPECT_EQ(rooms.Rooms(), 0u);

  ASSERT_EQ(log.size(), 5u);
  const std::string text = RoomCodeText(code);
  EXPECT_EQ(log[0], "room " + text + " opened by 198.51.100.7:40001");
  EXPECT_EQ(log[1], "room " + text + " met: host 198.51.100.7:40001, guest [2001:db8:5::9]:40002");
  EXPECT_EQ(log[2], "room " + text + " closed");
  EXPECT_EQ(log[4], "room " + RoomCodeText(lonely->code) + " expired unjoined");
}

// A flood of random and malformed datagrams, forged codes among them, from many sources.
TEST(LobbyRooms, AFloodLeavesItBoundedAnsweringAndNoRoomTakenOver) {
  LobbyRooms rooms(std::nullopt, T0, UnixAtT0, nullptr);
  std::mt19937 rng(2026);
  const auto below = [&](uint32_t n) {
    return std::uniform_int_distribution<uint32_t>(0, n - 1)(rng);
  };
  const UdpAddress hostAt = TestV4("198.51.100.7", 40001), guestAt = TestV4("198.51.100.8", 40002);
  const UdpAddress laterGuestAt = TestV6("2001:db8:7::1", 1234);

  // One room met before the flood (its code is known to the flood), one waiting through it.
  const auto first = As<RoomWaiting>(Ask(rooms, hostAt, OpenRoom{TicketOf(1), {}}, T0));
  ASSERT_TRUE(first);
  const RoomCode metCode = first->code;
  ASSERT_TRUE(As<RoomMet>(Ask(rooms, guestAt, JoinRoom{metCode, TicketOf(2), {}}, T0)));
  const auto second = As<RoomWaiting>(Ask(rooms, hostAt, OpenRoom{TicketOf(3), {}}, T0));
  ASSERT_TRUE(second);
  const RoomCode waitingCode = second->code;

  constexpr int Flood = 100000;
  const auto floodSource = [&]() {
    if (below(3) == 0) {
      in6_addr a{};
      a.s6_addr[0] = 0x20, a.s6_addr[1] = 0x01, a.s6_addr[2] = 0x0d, a.s6_addr[3] = 0xb8;
      for (int i = 4; i < 16; ++i) a.s6_addr[i] = static_cast<uint8_t>(below(256));
      return UdpAddress::V6(a, static_cast<uint16_t>(1 + below(65535)));
    }
    // 203.0.113.0/24 and 10.0.0.0/8: tens of thousands of sources.
    const uint32_t host = below(2) ? (0xcb007100u | below(256)) : (0x0a000000u | below(1 << 16));
    return UdpAddress::V4(htonl(host), static_cast<uint16_t>(1 + below(65535)));
  };
  size_t answered = 0, answeredBytes = 0, sentBytes = 0;
  Clock::time_point now = T0;
  for (int i = 0; i < Flood; ++i) {
    now += std::chrono::microseconds(500);
    std::vector<uint8_t> datagram;
    RoomCode code{};
    for (char& c : code) c = "23456789ABCDEFGHJKMNPQRSTUVWXYZ"[below(31)];
    if (below(5) == 0) code = metCode;
    RoomTicket ticket{};
    for (auto& b : ticket) b = static_cast<uint8_t>(below(256));
    switch (below(6)) {
      case 0:  // noise of any length
        datagram.resize(below(300));
        for (auto& b : datagram) b = static_cast<uint8_t>(below(256));
        break;
      case 1:  // a real request, damaged
        datagram = EncodeRequest(JoinRoom{code, ticket, {}});
        datagram[below(LobbyRequestSize)] ^= static_cast<uint8_t>(1 + below(255));
        break;
      case 2:
        datagram = EncodeRequest(OpenRoom{ticket, {floodSource()}});
        break;
      case 3:
        datagram = EncodeRequest(JoinRoom{code, ticket, {floodSource()}});
        break;
      default:
        datagram = EncodeRequest(PollRoom{code, ticket, floodSource()});
        break;
    }
    sentBytes += datagram.size();
    if (const auto told = rooms.Handle(floodSource(), datagram, now)) {
      ASSERT_LE(told->size(), datagram.size());
      ++answered, answeredBytes += told->size();
    }
    // The real players poll twice a second all along, and are always answered.
    if (i % 1000 == 0) {
      const auto hostSees =
          As<RoomMet>(Ask(rooms, hostAt, PollRoom{metCode, TicketOf(1), {}}, now));
      ASSERT_TRUE(hostSees) << "at datagram " << i;
      ASSERT_EQ(hostSees->other.seen, guestAt);
      ASSERT_TRUE(As<RoomWaiting>(Ask(rooms, hostAt, PollRoom{waitingCode, TicketOf(3), {}}, now)));
    }
    ASSERT_LE(rooms.Rooms(), MaxRooms);
    ASSERT_LE(rooms.Sources(), rooms.SourceCapacity());
  }
  std::cout << "flood: " << answered << " of " << Flood << " answered (" << answeredBytes
            << " bytes for " << sentBytes << " sent), " << rooms.Rooms() << " rooms, "
            << rooms.Sources() << " sources tracked of " << rooms.SourceCapacity() << "\n";
  EXPECT_EQ(rooms.Sources(), rooms.SourceCapacity()) << "the flood should have filled the table";
  EXPECT_LT(answeredBytes, sentBytes);

  // A moment after, the waiting room's guest gets in, and both see each other, not the flood.
  now += seconds(2);
  const auto met =
      As<RoomMet>(Ask(rooms, laterGuestAt, JoinRoom{waitingCode, TicketOf(4), {}}, now));
  ASSERT_TRUE(met);
  EXPECT_EQ(met->other.seen, hostAt);
  const auto hostMet = As<RoomMet>(Ask(rooms, hostAt, PollRoom{waitingCode, TicketOf(3), {}}, now));
  ASSERT_TRUE(hostMet);
  EXPECT_EQ(hostMet->other.seen, laterGuestAt);
  EXPECT_FALSE(hostMet->other.relayed);
  // A new player is told at once whether there is a room for it: a full lobby says so.
  const auto fresh = Ask(rooms, TestV4("198.51.100.99", 7), OpenRoom{TicketOf(5), {}}, now);
  ASSERT_TRUE(fresh);
  EXPECT_TRUE(rooms.Rooms() < MaxRooms ? As<RoomWaiting>(fresh).has_value()
                                       : As<NoRoom>(fresh).has_value());
}

// How long guessing codes takes at the lobby's own limits, with every room taken.
TEST(LobbyRooms, GuessingACodeForOnePercentTakesMoreThanADay) {
  LobbyRooms rooms(std::nullopt, T0, UnixAtT0, nullptr);
  // The guesser has as many addresses as it likes: one new source per guess, 1000 a second.
  constexpr int Seconds = 120;
  size_t lookedUp = 0;
  uint32_t source = 0;
  Clock::time_point now = T0;
  for (int i = 0; i < Seconds * 1000; ++i) {
    now += milliseconds(1);
    RoomCode code{};
    for (size_t k = 0; k < code.size(); ++k) code[k] = "23456789ABCDEFGH"[(i >> (k * 2)) & 15];
    lookedUp += As<NoRoom>(Ask(rooms, UdpAddress::V4(htonl(0x0a000000u + ++source), 9),
                               JoinRoom{code, TicketOf(9), {}}, now))
                    .has_value();
  }
  const double perSecond = static_cast<double>(lookedUp) / Seconds;
  EXPECT_LE(lookedUp, FailedJoinBurst + FailedJoinsPerSecond * Seconds + 1);
  // Each guess hits one of MaxRooms codes out of 31^8.
  const double hit = static_cast<double>(MaxRooms) / std::pow(31.0, RoomCodeLength);
  const double guesses = std::log(0.99) / std::log1p(-hit);
  const double days = guesses / perSecond / 86400;
  std::cout << "guessing: " << perSecond << " codes looked up a second; " << guesses
            << " guesses for a 1 % chance with " << MaxRooms << " rooms open: " << days
            << " days\n";
  EXPECT_GT(days, 1.0);

  // One source alone is held to its own rate, well below that.
  size_t answered = 0;
  for (int i = 0; i < 10000; ++i) {
    now += milliseconds(1);
    const RoomCode code{'2', '2', '2', '2', '2', '2', '2', '2'};
    answered +=
        Ask(rooms, TestV4("203.0.113.5", 9), PollRoom{code, TicketOf(9), {}}, now).has_value();
  }
  EXPECT_LE(answered, SourceRequestBurst + SourceRequestsPerSecond * 10 + 1);
  EXPECT_GE(answered, SourceRequestsPerSecond * 10);
}

}  // namespace
}  // namespace kavarin

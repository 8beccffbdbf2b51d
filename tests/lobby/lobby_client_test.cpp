#include <gtest/gtest.h>

#include "lobby/lobby_client.h"
#include "tests/lobby/lobby_test_support.h"

namespace kavarin {
namespace {

using Clock = LobbyClient::Clock;
using std::chrono::milliseconds;

const Clock::time_point T0 = Clock::time_point{} + std::chrono::hours(1);
const UdpAddress LobbyAt = TestV4("192.0.2.1", DefaultLobbyPort);

// Two clients and the rooms, a millisecond at a time; `lose` drops what it says of a request.
struct Meeting {
  LobbyRooms rooms{std::nullopt, T0, 1796000000, nullptr};
  Clock::time_point now = T0;
  // Runs `ms` milliseconds; returns how many requests `client` sent.
  int Run(LobbyClient& client, const UdpAddress& from, int ms,
          const std::function<bool(int)>& lose = nullptr) {
    int sent = 0;
    for (int i = 0; i < ms; ++i, now += milliseconds(1)) {
      const auto request = client.Due(now);
      if (!request) continue;
      EXPECT_EQ(request->size(), LobbyRequestSize);
      if (lose && lose(sent++)) continue;
      if (!lose) ++sent;
      if (const auto answer = rooms.Handle(from, *request, now)) {
        EXPECT_TRUE(client.Take(*answer, now));
      }
    }
    return sent;
  }
};

TEST(LobbyClient, TwoPlayersMeetThroughLostDatagramsAndTellTheirRelays) {
  Meeting m;
  const UdpAddress hostAt = TestV4("198.51.100.7", 4000), guestAt = TestV4("203.0.113.8", 5000);
  LobbyClient host = LobbyClient::NewRoom(LobbyAt, {TestV4("10.0.0.7", 4000)});
  EXPECT_EQ(host.Lobby(), LobbyAt);
  // The first three asks are lost: it asks again every 250 ms.
  m.Run(host, hostAt, 1000, [](int n) { return n < 3; });
  ASSERT_EQ(host.State(), LobbyClient::Stage::Waiting);
  ASSERT_TRUE(host.Code());
  // Waiting, it polls twice a second.
  EXPECT_EQ(m.Run(host, hostAt, 2000), 4);

  LobbyClient guest = LobbyClient::Join(LobbyAt, *host.Code(), {});
  m.Run(guest, guestAt, 10);
  ASSERT_EQ(guest.State(), LobbyClient::Stage::Met);
  EXPECT_EQ(guest.Meeting()->other.seen, hostAt);
  EXPECT_EQ(guest.Meeting()->other.local, std::vector{TestV4("10.0.0.7", 4000)});
  m.Run(host, hostAt, 600);
  ASSERT_EQ(host.State(), LobbyClient::Stage::Met);
  EXPECT_TRUE(host.Meeting()->host);
  EXPECT_EQ(host.Meeting()->other.seen, guestAt);

  // A relay told is passed on at once, and kept up to date on the other side.
  const UdpAddress relay = TestV4("192.0.2.9", 49152);
  guest.PublishRelayed(relay);
  EXPECT_EQ(m.Run(guest, guestAt, 1), 1);
  m.Run(host, hostAt, 600);
  EXPECT_EQ(host.Meeting()->other.relayed, relay);

  // Answers for another room, or noise, are not ours.
  EXPECT_FALSE(host.Take(
      EncodeAnswer(NoRoom{RoomCode{'2', '2', '2', '2', '2', '2', '2', '2'}}, TicketOf(9)), m.now));
  EXPECT_FALSE(host.Take(std::vector<uint8_t>(40, 7), m.now));
  EXPECT_EQ(host.State(), LobbyClient::Stage::Met);
  EXPECT_EQ(host.Forged(), 1u);
  host.Stop();
  EXPECT_FALSE(host.Due(m.now + std::chrono::seconds(5)));
}

// Someone who forges the lobby's address but holds no ticket of ours: a Met sending the guest to
// the forger, a NoRoom for its room and a full lobby's blank NoRoom are all dropped and counted,
// and the lobby's own answers still go through.
TEST(LobbyClient, ForgedAnswersFromTheLobbysAddressChangeNothing) {
  Meeting m;
  const UdpAddress hostAt = TestV4("198.51.100.7", 4000), guestAt = TestV4("203.0.113.8", 5000);
  const UdpAddress forger = TestV4("192.0.2.66", 6666);
  LobbyClient host = LobbyClient::NewRoom(LobbyAt, {});
  ASSERT_TRUE(host.Due(m.now));
  for (uint8_t seed = 0; seed < 4; ++seed) {
    EXPECT_FALSE(host.Take(EncodeAnswer(NoRoom{}, TicketOf(seed)), m.now));
    EXPECT_FALSE(host.Take(
        EncodeAnswer(RoomWaiting{{'2', '3', '4', '5', '6', '7', '8', '9'}, forger}, TicketOf(seed)),
        m.now));
  }
  EXPECT_EQ(host.State(), LobbyClient::Stage::Asking);
  EXPECT_EQ(host.Forged(), 8u);
  m.Run(host, hostAt, 300);
  ASSERT_EQ(host.State(), LobbyClient::Stage::Waiting);
  const RoomCode code = *host.Code();

  LobbyClient guest = LobbyClient::Join(LobbyAt, code, {});
  ASSERT_TRUE(guest.Due(m.now));
  const RoomMet lure{code, false, guestAt, PlayerAddresses{forger, {forger}, forger}, std::nullopt};
  for (uint8_t seed = 0; seed < 4; ++seed) {
    EXPECT_FALSE(guest.Take(EncodeAnswer(lure, TicketOf(seed)), m.now));
    EXPECT_FALSE(guest.Take(EncodeAnswer(NoRoom{code}, TicketOf(seed)), m.now));
  }
  EXPECT_EQ(guest.State(), LobbyClient::Stage::Asking);
  EXPECT_FALSE(guest.Meeting());
  EXPECT_EQ(guest.Forged(), 8u);
  m.Run(guest, guestAt, 300);
  ASSERT_EQ(guest.State(), LobbyClient::Stage::Met);
  EXPECT_EQ(guest.Meeting()->other.seen, hostAt);

  // Met, the guest is not moved either.
  EXPECT_FALSE(guest.Take(EncodeAnswer(lure, TicketOf(1)), m.now));
  EXPECT_EQ(guest.Meeting()->other.seen, hostAt);
  EXPECT_EQ(guest.Forged(), 9u);
}

TEST(LobbyClient, NoRoomAndSilenceEndIt) {
  Meeting m;
  const RoomCode code{'K', '7', 'Q', 'X', 'M', '4', 'P', 'D'};
  LobbyClient guest = LobbyClient::Join(LobbyAt, code, {});
  m.Run(guest, TestV4("203.0.113.8", 5000), 100);
  EXPECT_EQ(guest.State(), LobbyClient::Stage::NoRoom);
  EXPECT_NE(guest.Failure().find("K7QX-M4PD"), std::string::npos) << guest.Failure();
  EXPECT_FALSE(guest.Due(m.now + std::chrono::seconds(1)));

  // A lobby that never answers: asked every 250 ms for 10 s, then given up.
  LobbyClient host = LobbyClient::NewRoom(LobbyAt, {});
  EXPECT_EQ(m.Run(host, TestV4("198.51.100.7", 4000), 12000, [](int) { return true; }), 40);
  EXPECT_EQ(host.State(), LobbyClient::Stage::Failed);
  EXPECT_NE(host.Failure().find("192.0.2.1:29171"), std::string::npos) << host.Failure();

  // A waiting host whose lobby falls silent gives up 10 s after it last heard.
  LobbyClient quiet = LobbyClient::NewRoom(LobbyAt, {});
  const UdpAddress at = TestV4("198.51.100.9", 4000);
  m.Run(quiet, at, 10);
  ASSERT_EQ(quiet.State(), LobbyClient::Stage::Waiting);
  m.Run(quiet, at, 9900, [](int) { return true; });
  EXPECT_EQ(quiet.State(), LobbyClient::Stage::Waiting);
  m.Run(quiet, at, 200, [](int) { return true; });
  EXPECT_EQ(quiet.State(), LobbyClient::Stage::Failed);
}

}  // namespace
}  // namespace kavarin

// The TURN client against a real coturn on loopback: an allocation with shared-secret
// credentials, datagrams both ways through the relayed address, first in Send and Data
// indications, then on a channel, and wrong credentials refused with a reason.

#include <gtest/gtest.h>
#include <poll.h>

#include "online/link_seal.h"
#include "online/turn_client.h"
#include "online/udp_relay.h"
#include "tests/net/coturn.h"
#include "tests/net/free_port.h"

namespace kavarin {
namespace {

using Clock = TurnClient::Clock;
using namespace std::chrono_literals;

// A UDP socket on 127.0.0.1 that tells who sent what it reads.
struct Socket {
  Socket() : fd(socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0)) {
    const UdpAddress any = *NumericAddress("127.0.0.1", 0);
    bind(fd, any.Raw(), any.Length());
    address = *LocalAddress(fd);
  }
  ~Socket() { close(fd); }
  void Send(const UdpAddress& to, std::span<const uint8_t> d) const {
    sendto(fd, d.data(), d.size(), 0, to.Raw(), to.Length());
  }
  std::optional<std::pair<UdpAddress, std::vector<uint8_t>>> Receive(int timeoutMs) const {
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, timeoutMs) <= 0) return std::nullopt;
    std::vector<uint8_t> d(65536);
    sockaddr_storage s{};
    socklen_t n = sizeof s;
    const ssize_t got = recvfrom(fd, d.data(), d.size(), 0, reinterpret_cast<sockaddr*>(&s), &n);
    if (got < 0) return std::nullopt;
    d.resize(static_cast<size_t>(got));
    return std::pair(*UdpAddress::From(s), d);
  }
  int fd;
  UdpAddress address;
};

// The relay's part: sends what is due, hands the server's answers to the client, until `done`
// or 6 s; what a peer sent through the relay is kept.
template <class Done>
std::vector<TurnClient::FromPeer> Serve(TurnClient& turn, const Socket& s, const Done& done,
                                        bool sendDue = true) {
  std::vector<TurnClient::FromPeer> got;
  for (const auto end = Clock::now() + 6s; Clock::now() < end && !done(got);) {
    if (sendDue)
      for (const auto& d : turn.Due(Clock::now())) s.Send(turn.Server(), d);
    if (const auto in = s.Receive(20); in && in->first == turn.Server())
      if (auto p = turn.Take(in->second, Clock::now())) got.push_back(std::move(*p));
  }
  return got;
}

const std::vector<uint8_t> Hello{'h', 'e', 'l', 'l', 'o'}, Reply{'r', 'e', 'p', 'l', 'y'};

class TurnServerTest : public testing::Test {
 protected:
  void SetUp() override {
    if (OnPath("turnserver").empty())
      GTEST_SKIP() << "coturn's turnserver is not installed: the TURN relay is not tested";
    std::string error;
    const uint16_t port = FreeLoopbackPort(error);
    ASSERT_NE(port, 0) << error;
    coturn_ = std::make_unique<Coturn>(port);
    server_ = *NumericAddress("127.0.0.1", port);
    // Up once it answers a binding request.
    Socket probe;
    const auto ask = stun::Writer(stun::Binding, stun::Request, stun::NewTransactionId()).Finish();
    for (const auto end = Clock::now() + 5s; Clock::now() < end;) {
      ASSERT_TRUE(coturn_->Running()) << coturn_->Log();
      probe.Send(server_, ask);
      if (probe.Receive(100)) return;
    }
    FAIL() << "coturn did not answer within 5 s\n" << coturn_->Log();
  }
  std::unique_ptr<Coturn> coturn_;
  UdpAddress server_;
};

TEST_F(TurnServerTest, RelaysBothWaysInIndicationsThenOnAChannel) {
  const std::string user = Coturn::Username("ROOM");
  TurnClient turn(server_, user, SharedSecretPassword(Coturn::Secret, user));
  Socket mine, peer;
  turn.Allow(peer.address);
  EXPECT_TRUE(turn.Carries(peer.address));
  EXPECT_FALSE(turn.Wrap(peer.address, Hello)) << "nothing is wrapped before the allocation";
  Serve(turn, mine, [&](auto&) { return turn.State() != TurnClient::Stage::Allocating; });
  ASSERT_EQ(turn.State(), TurnClient::Stage::Ready) << turn.Failure() << "\n" << coturn_->Log();
  ASSERT_TRUE(turn.Relayed());
  EXPECT_EQ(turn.Relayed()->Family(), AF_INET);
  EXPECT_NE(turn.Relayed()->Port(), server_.Port());

  // Only the permission goes out at first, so that the server has no channel for the peer.
  bool permitted = false;
  for (const auto& d : turn.Due(Clock::now())) {
    const auto m = stun::Read(d);
    ASSERT_TRUE(m);
    if (m->method == stun::CreatePermission) mine.Send(server_, d), permitted = true;
  }
  ASSERT_TRUE(permitted);
  std::this_thread::sleep_for(100ms);
  while (const auto in = mine.Receive(50)) turn.Take(in->second, Clock::now());

  const auto indication = turn.Wrap(peer.address, Hello);
  ASSERT_TRUE(indication);
  ASSERT_EQ((*indication)[0] & 0xC0, 0) << "a Send indication before the channel is bound";
  mine.Send(server_, *indication);
  const auto atPeer = peer.Receive(2000);
  ASSERT_TRUE(atPeer);
  EXPECT_EQ(atPeer->first, *turn.Relayed());
  EXPECT_EQ(atPeer->second, Hello);
  peer.Send(*turn.Relayed(), Reply);
  auto got = Serve(
      turn, mine, [](auto& g) { return !g.empty(); }, false);
  ASSERT_EQ(got.size(), 1u) << "the peer's reply in a Data indication";
  EXPECT_EQ(got[0].peer, peer.address);
  EXPECT_EQ(got[0].datagram, Reply);

  // The channel is bound once the resent binding is answered.
  Serve(turn, mine, [&](auto&) {
    const auto w = turn.Wrap(peer.address, Hello);
    return w && ((*w)[0] & 0xC0) == 0x40;
  });
  const auto framed = turn.Wrap(peer.address, Reply);
  ASSERT_TRUE(framed && ((*framed)[0] & 0xC0) == 0x40) << turn.Failure();
  EXPECT_EQ(framed->size(), Reply.size() + 4);
  mine.Send(server_, *framed);
  const auto atPeer2 = peer.Receive(2000);
  ASSERT_TRUE(atPeer2);
  EXPECT_EQ(atPeer2->first, *turn.Relayed());
  EXPECT_EQ(atPeer2->second, Reply);
  // Many, of every size up to a link's largest, arrive as sent on the channel.
  for (size_t n = 0; n <= 1200; n += 97) {
    std::vector<uint8_t> d(n, static_cast<uint8_t>(n));
    peer.Send(*turn.Relayed(), d);
    got = Serve(turn, mine, [](auto& g) { return !g.empty(); });
    ASSERT_EQ(got.size(), 1u) << n;
    EXPECT_EQ(got[0].peer, peer.address);
    EXPECT_EQ(got[0].datagram, d);
  }
  // A stranger the client was not told of is not let through.
  Socket stranger;
  EXPECT_FALSE(turn.Carries(stranger.address));
  stranger.Send(*turn.Relayed(), Hello);
  EXPECT_TRUE(Serve(turn, mine, [&, end = Clock::now() + 300ms](auto&) {
                return Clock::now() > end;
              }).empty());
  EXPECT_EQ(turn.State(), TurnClient::Stage::Ready);
}

TEST_F(TurnServerTest, WrongPasswordFailsWithTheReason) {
  const std::string user = Coturn::Username("ROOM");
  TurnClient turn(server_, user, SharedSecretPassword("not the secret", user));
  Socket mine;
  const auto start = Clock::now();
  Serve(turn, mine, [&](auto&) { return turn.State() != TurnClient::Stage::Allocating; });
  EXPECT_LT(Clock::now() - start, 3s);
  ASSERT_EQ(turn.State(), TurnClient::Stage::Failed);
  EXPECT_NE(turn.Failure().find("wrong credentials"), std::string::npos) << turn.Failure();
  EXPECT_NE(turn.Failure().find("401"), std::string::npos) << turn.Failure();
  EXPECT_FALSE(turn.Relayed());
  EXPECT_TRUE(turn.Due(Clock::now()).empty()) << "a failed client asks nothing more";
}

// The relay with the client routed through it: the far side is a peer behind the server, and the
// link's datagrams pass sealed both ways, the near side seeing nothing of the wrapping.
TEST_F(TurnServerTest, RelayCarriesALinkThroughTheServer) {
  const KeyPair guestPair = KeyPair::Random(), hostPair = KeyPair::Random();
  LinkSeal guest{*GuestKeys(guestPair, hostPair.publicKey), Introduction{7, guestPair.publicKey},
                 std::nullopt};
  LinkSeal host{*HostKeys(hostPair, guestPair.publicKey), std::nullopt, guestPair.publicKey};
  Socket near, peer;
  const UdpAddress outer = *NumericAddress("127.0.0.1", 0);
  int error = 0, family = 0;
  auto relay = UdpRelay::Open(std::span(&outer, 1), false, near.address, error, family);
  ASSERT_TRUE(relay) << error;
  const std::string user = Coturn::Username("ROOM");
  auto turn =
      std::make_unique<TurnClient>(server_, user, SharedSecretPassword(Coturn::Secret, user));
  turn->Allow(peer.address);
  TurnClient& t = *turn;
  relay->Route(std::move(turn));
  relay->Link(peer.address, guest);
  const auto service = [&] {
    relay->CarryOut();
    relay->CarryIn([](auto&, auto) { return std::nullopt; });
  };
  for (const auto end = Clock::now() + 5s; Clock::now() < end;) {
    service();
    const auto w = t.Wrap(peer.address, Hello);
    if (w && ((*w)[0] & 0xC0) == 0x40) break;
    std::this_thread::sleep_for(10ms);
  }
  ASSERT_EQ(t.State(), TurnClient::Stage::Ready) << t.Failure();
  std::vector<uint8_t> opened, sealed;
  for (int round = 0; round < 20; ++round) {
    const std::vector<uint8_t> out(static_cast<size_t>(round * 37 + 1),
                                   static_cast<uint8_t>(round));
    near.Send(relay->Inner(), out);
    std::optional<std::pair<UdpAddress, std::vector<uint8_t>>> atPeer;
    for (int i = 0; i < 100 && !atPeer; ++i) service(), atPeer = peer.Receive(10);
    ASSERT_TRUE(atPeer) << round;
    EXPECT_EQ(atPeer->first, *t.Relayed());
    ASSERT_TRUE(host.Open(atPeer->second, opened)) << round;
    EXPECT_EQ(opened, out);
    host.Seal(Reply, sealed);
    peer.Send(*t.Relayed(), sealed);
    std::optional<std::pair<UdpAddress, std::vector<uint8_t>>> atNear;
    for (int i = 0; i < 100 && !atNear; ++i) service(), atNear = near.Receive(10);
    ASSERT_TRUE(atNear) << round;
    EXPECT_EQ(atNear->first, relay->Inner());
    EXPECT_EQ(atNear->second, Reply);
  }
  const UdpRelay::Taken taken = relay->Take();
  EXPECT_EQ(taken.forged, 0);
  EXPECT_EQ(taken.strangers, 0);
}

TEST(TurnClientAlone, FailsWhenNoServerAnswers) {
  Socket silent;  // never reads
  TurnClient turn(silent.address, "u", "p");
  auto now = Clock::now();
  size_t sent = 0;
  for (int i = 0; i < 100 && turn.State() == TurnClient::Stage::Allocating; ++i, now += 100ms)
    sent += turn.Due(now).size();
  EXPECT_EQ(turn.State(), TurnClient::Stage::Failed);
  EXPECT_NE(turn.Failure().find("did not answer"), std::string::npos) << turn.Failure();
  // Resent with growing waits, a handful of times, not every tick.
  EXPECT_GE(sent, 3u);
  EXPECT_LE(sent, 8u);
}

}  // namespace
}  // namespace kavarin

// The ENet transport on loopback, over IPv4 and over IPv6: a guest connects to a host and
// datagrams pass both ways; before that, a knock is answered once with less than it, and a
// CONNECT without the right cookie for its address and key, or not sealed with the keys the
// knock agreed, gets no answer at all; afterwards the
// host takes no other guest, datagrams from elsewhere reach neither side, and a guest that leaves
// is heard leaving.
#include "online/enet_transport.h"

#include <enet/enet.h>
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <tuple>

#include "free_port.h"
#include "online/endpoint.h"
#include "online/online_loop.h"
#include "udp_socket.h"

namespace kavarin {
namespace {

// Services the transports until `done`, at most `ms`; whether it came.
bool PumpUntil(std::initializer_list<EnetTransport*> ts, const std::function<bool()>& done,
               int ms) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    for (EnetTransport* t : ts) {
      t->Service();
      t->Wait(1);
    }
  }
  return true;
}

// The very datagram an ENet client sends to connect, with `data` in it.
std::vector<uint8_t> RealConnect(uint32_t data) {
  UdpSocket listener;
  ENetHost* client = enet_host_create(nullptr, 1, 1, 0, 0);
  ENetAddress to{htonl(INADDR_LOOPBACK), listener.Port()};
  enet_host_connect(client, &to, 1, data);
  enet_host_flush(client);
  std::vector<uint8_t> d = listener.Receive(1000).value_or(std::vector<uint8_t>{});
  enet_host_destroy(client);
  return d;
}

// `datagram` sealed as a guest's first, introduced with `cookie` and the guest's key.
std::vector<uint8_t> Introduced(const KeyPair& guest, const LinkKeys& keys, uint32_t cookie,
                                std::span<const uint8_t> datagram) {
  LinkSeal seal(keys, Introduction{cookie, guest.publicKey}, std::nullopt);
  std::vector<uint8_t> sealed;
  seal.Seal(datagram, sealed);
  return sealed;
}

TEST(ConnectGate, SipHashGivesItsPublishedValue) {
  std::array<uint8_t, 15> message{};
  for (size_t i = 0; i < message.size(); ++i) message[i] = static_cast<uint8_t>(i);
  EXPECT_EQ(SipHash24({0x0706050403020100ULL, 0x0F0E0D0C0B0A0908ULL}, message),
            0xA129CA6149BE45E5ULL);
}

class EnetTransportOver : public ::testing::TestWithParam<int> {};

TEST_P(EnetTransportOver, OneGuestConnectsAndNobodyElseGetsAnAnswer) {
  const bool v6 = GetParam() == AF_INET6;
  if (v6) KAVARIN_SKIP_WITHOUT_IPV6_LOOPBACK();
  // Over IPv4 the guest looks the host up by name, and knocks on whatever else the name has.
  const std::string hostAddress = v6 ? "::1" : "127.0.0.1", hostName = v6 ? "::1" : "localhost";
  std::string error;
  auto host = EnetTransport::Listen(0, error, hostAddress);
  ASSERT_TRUE(host) << error;
  const uint16_t port = host->Port();
  ASSERT_NE(port, 0);

  // A knock is answered once, with a cookie and the host's key, in fewer bytes.
  UdpSocket stranger(GetParam());
  const KeyPair pair = KeyPair::Random();
  const auto knock = KnockDatagram(pair.publicKey);
  stranger.SendTo(port, knock);
  std::optional<std::vector<uint8_t>> answer;
  ASSERT_TRUE(PumpUntil(
      {host.get()}, [&] { return (answer = stranger.Receive(0)).has_value(); }, 1000));
  EXPECT_LT(answer->size(), knock.size());
  const std::optional<CookieAnswer> cookie = CookieOf(*answer);
  ASSERT_TRUE(cookie);
  const std::optional<LinkKeys> keys = GuestKeys(pair, cookie->hostKey);
  ASSERT_TRUE(keys);

  // ENet's CONNECT as a client really sends it, sealed; with a wrong cookie, with the stranger's
  // cookie from another address, with the stranger's own cookie and keys it did not agree, or
  // bare, nothing comes back. (Over IPv6 this also shows the cookie is made from the sender's own
  // address, not the relay's, and that the relay linked nobody: a link would have carried the
  // CONNECT to ENet, which answers, and kept the real guest out.)
  const std::vector<uint8_t> connect = RealConnect(0);
  ASSERT_FALSE(connect.empty());
  LinkKeys wrongKeys = *keys;
  wrongKeys.send[0] ^= 1;
  UdpSocket other(GetParam());
  const int64_t forgeriesBefore = host->Stats().forgeriesDropped;
  stranger.SendTo(port, Introduced(pair, *keys, cookie->cookie + 1, connect));
  other.SendTo(port, Introduced(pair, *keys, cookie->cookie, connect));
  stranger.SendTo(port, Introduced(pair, wrongKeys, cookie->cookie, connect));
  stranger.SendTo(port, connect);
  PumpUntil(
      {host.get()}, [] { return false; }, 300);
  EXPECT_FALSE(stranger.Receive(0));
  EXPECT_FALSE(other.Receive(0));
  EXPECT_EQ(host->State(), EnetTransport::Link::Waiting);
  EXPECT_EQ(host->Stats().forgeriesDropped, forgeriesBefore + 1);

  // The real guest connects, and datagrams pass both ways.
  auto guest = EnetTransport::Join(hostName, port, error);
  ASSERT_TRUE(guest) << error;
  ASSERT_TRUE(PumpUntil(
      {host.get(), guest.get()},
      [&] {
        return host->State() == EnetTransport::Link::Connected &&
               guest->State() == EnetTransport::Link::Connected;
      },
      2000));
  const std::vector<uint8_t> ping = {1, 2, 3}, pong = {4, 5};
  guest->Send(ping);
  host->Send(pong);
  std::vector<uint8_t> got, gotBack;
  ASSERT_TRUE(PumpUntil(
      {host.get(), guest.get()}, [&] { return host->Receive(got) && guest->Receive(gotBack); },
      1000));
  EXPECT_EQ(got, ping);
  EXPECT_EQ(gotBack, pong);

  // Nobody else gets in or through: not a second guest, not a knock, not a CONNECT with the
  // stranger's own cookie, not datagrams to either side (to the guest's ENet socket, which only
  // the relay may reach when the guest is on IPv6).
  auto second = EnetTransport::Join(hostAddress, port, error);
  ASSERT_TRUE(second) << error;
  const int64_t before = host->Stats().strangersDropped + guest->Stats().strangersDropped;
  stranger.SendTo(port, knock);
  stranger.SendTo(port, Introduced(pair, *keys, cookie->cookie, connect));
  UdpSocket(AF_INET).SendTo(guest->Port(), pong);
  stranger.SendTo(port, ping);
  PumpUntil(
      {host.get(), guest.get(), second.get()}, [] { return false; }, 400);
  EXPECT_NE(second->State(), EnetTransport::Link::Connected);
  EXPECT_FALSE(stranger.Receive(0));
  EXPECT_FALSE(host->Receive(got));
  EXPECT_FALSE(guest->Receive(got));
  EXPECT_GE(host->Stats().strangersDropped + guest->Stats().strangersDropped, before + 5);

  // The guest leaves; the host hears it at once.
  guest->Close();
  ASSERT_TRUE(PumpUntil(
      {host.get()}, [&] { return host->State() == EnetTransport::Link::Closed; }, 1000));
  EXPECT_TRUE(host->PeerSaidGoodbye());
}

INSTANTIATE_TEST_SUITE_P(IPv4AndIPv6, EnetTransportOver, ::testing::Values(AF_INET, AF_INET6),
                         [](const auto& info) { return info.param == AF_INET6 ? "IPv6" : "IPv4"; });

// A host's loop: a guest whose link connects and leaves before its session says hello leaves the
// host waiting on its port for the next one, not ended; and the next one plays.
TEST(OnlineLoop, AHostWaitsOnAfterAGuestThatLeftBeforeHello) {
  std::string error;
  const uint16_t port = FreeLoopbackPort(error);
  ASSERT_NE(port, 0) << error;
  SessionDisplay display;
  const auto paced = SessionOptions{.paced = false, .seed = 1};
  OnlineLoop host(
      Player::Host, [port](std::string& e) { return EnetTransport::Listen(port, e, "127.0.0.1"); },
      display, LoopOptions{.session = paced, .record = {}, .kept = {}});
  ASSERT_TRUE(host.Open(error)) << error;
  const auto run = [&](OnlineLoop* other, const std::function<bool()>& done) {
    for (int i = 0; i < 4000 && !done(); ++i) {
      host.Frame(SteadyNowUs());
      if (other) other->Frame(SteadyNowUs());
      host.Wait(1);
    }
    return done();
  };
  {
    auto rude = EnetTransport::Join("127.0.0.1", port, error);
    ASSERT_TRUE(rude) << error;
    ASSERT_TRUE(run(nullptr, [&] {
      rude->Service();
      return host.Linked() && rude->State() == EnetTransport::Link::Connected;
    }));
    rude->Close();
  }
  ASSERT_TRUE(run(nullptr, [&] { return host.Generation() == 2; }));
  EXPECT_FALSE(host.Ended());
  EXPECT_FALSE(host.Linked());

  OnlineLoop guest(
      Player::Guest, [port](std::string& e) { return EnetTransport::Join("127.0.0.1", port, e); },
      display, LoopOptions{.session = paced, .record = {}, .kept = {}});
  ASSERT_TRUE(guest.Open(error)) << error;
  EXPECT_TRUE(run(&guest, [&] { return host.Game().State() == SessionState::Playing; }));
}

// A guest's loop started before its host keeps trying, and plays once the host is there; with
// no host at all it ends, when its time is up, as never connected rather than as lost.
TEST(OnlineLoop, AGuestBeforeItsHostKeepsTryingThenSaysItCouldNotConnect) {
  std::string error;
  const uint16_t port = FreeLoopbackPort(error);
  ASSERT_NE(port, 0) << error;
  SessionDisplay display;
  const auto join = [port](std::string& e) { return EnetTransport::Join("127.0.0.1", port, e); };
  const auto options = [](int64_t connectTimeoutUs) {
    return LoopOptions{.session = {.paced = false, .seed = 3},
                       .connectTimeoutUs = connectTimeoutUs,
                       .record = {},
                       .kept = {}};
  };
  OnlineLoop early(Player::Guest, join, display, options(30'000'000));
  ASSERT_TRUE(early.Open(error)) << error;
  const int64_t start = SteadyNowUs();
  while (SteadyNowUs() - start < 700'000) {
    EXPECT_EQ(early.Frame(SteadyNowUs()), OnlineLoop::Report::Waiting);
    early.Wait(5);
  }
  OnlineLoop host(
      Player::Host, [port](std::string& e) { return EnetTransport::Listen(port, e, "127.0.0.1"); },
      display, options(0));
  ASSERT_TRUE(host.Open(error)) << error;
  for (int i = 0; i < 4000 && !(early.Played() && host.Played()); ++i) {
    host.Frame(SteadyNowUs());
    early.Frame(SteadyNowUs());
    host.Wait(1);
  }
  EXPECT_TRUE(early.Played() && host.Played());
  host.Leave();

  OnlineLoop alone(Player::Guest, join, display, options(300'000));
  ASSERT_TRUE(alone.Open(error)) << error;
  for (int i = 0; i < 2000 && !alone.Ended(); ++i) {
    alone.Frame(SteadyNowUs());
    alone.Wait(1);
  }
  ASSERT_TRUE(alone.Ended());
  EXPECT_EQ(alone.Why(), MatchEnd::CouldNotConnect);
  EXPECT_FALSE(alone.Played());
}

TEST(Endpoint, ReadsHostsAddressesAndPorts) {
  std::string error;
  const auto both = ParseEndpoint("example.org:4000", error);
  ASSERT_TRUE(both);
  EXPECT_EQ(both->host, "example.org");
  EXPECT_EQ(both->port, 4000);
  EXPECT_EQ(ParseEndpoint("10.0.0.2", error)->port, DefaultPort);
  // IPv6: in brackets with or without a port, or bare without one.
  for (const auto& [text, host, port] : {std::tuple{"[::1]:4000", "::1", 4000},
                                         {"[fe80::1%eth0]", "fe80::1%eth0", DefaultPort},
                                         {"::1", "::1", DefaultPort},
                                         {"2001:db8::4000", "2001:db8::4000", DefaultPort}}) {
    const auto e = ParseEndpoint(text, error);
    ASSERT_TRUE(e) << text;
    EXPECT_EQ(e->host, host);
    EXPECT_EQ(e->port, port) << text;
    const auto back = ParseEndpoint(EndpointText(*e), error);  // written as it is read
    ASSERT_TRUE(back) << EndpointText(*e);
    EXPECT_EQ(back->host, host);
    EXPECT_EQ(back->port, port);
  }
  for (const char* bad : {"host:0", "host:65536", "host:", ":4000", "h:4x", "[::1", "[::1]4000",
                          "[::1]:", "[]:4000", "[example.org]:4000", "[::1]:0"})
    EXPECT_FALSE(ParseEndpoint(bad, error)) << bad;
  EXPECT_NE(error.find("port"), std::string::npos);
}

}  // namespace
}  // namespace kavarin

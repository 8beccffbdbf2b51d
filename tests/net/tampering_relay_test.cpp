// A host and a guest on loopback, over IPv4 and IPv6, with a relay between them that an attacker
// holds: it passes everything on, and from each side's own view of the other's address it sends
// ENet's DISCONNECT in every form, datagrams shaped like ENet's, copies of what it carried of
// every age, from the handshake on, and changed copies of real ones. None of it may change
// anything: the link stays up, and each side receives what the other sent, once, unchanged.
#include <enet/enet.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <array>
#include <cstring>
#include <random>
#include <set>

#include "online/enet_transport.h"
#include "online/udp_address.h"
#include "udp_socket.h"

namespace kavarin {
namespace {

// Passes datagrams between a guest (whoever sends to its guest side first) and a host's port,
// keeping a copy of each.
class TamperingRelay {
 public:
  TamperingRelay(int family, uint16_t hostPort)
      : guestSide_(Open(family)), hostSide_(Open(family)) {
    const in6_addr loop6 = in6addr_loopback;
    host_ = family == AF_INET6 ? UdpAddress::V6(loop6, hostPort)
                               : UdpAddress::V4(htonl(INADDR_LOOPBACK), hostPort);
  }
  ~TamperingRelay() {
    close(guestSide_);
    close(hostSide_);
  }
  uint16_t GuestPort() const { return LocalAddress(guestSide_)->Port(); }

  // What has arrived, passed on; how many datagrams.
  int Pass() {
    int n = 0;
    std::array<uint8_t, 8192> buffer;
    for (const int fd : {guestSide_, hostSide_}) {
      for (;;) {
        sockaddr_storage s{};
        socklen_t length = sizeof s;
        const ssize_t got = recvfrom(fd, buffer.data(), buffer.size(), MSG_DONTWAIT,
                                     reinterpret_cast<sockaddr*>(&s), &length);
        if (got < 0) break;
        std::vector<uint8_t> d(buffer.begin(), buffer.begin() + got);
        if (fd == guestSide_) {
          guest_ = UdpAddress::From(s);
          ToHost(d);
          toHost.push_back(std::move(d));
        } else {
          ToGuest(d);
          toGuest.push_back(std::move(d));
        }
        ++n;
      }
    }
    return n;
  }
  // From where each side sees the other.
  void ToHost(std::span<const uint8_t> d) const { SendTo(hostSide_, host_, d); }
  void ToGuest(std::span<const uint8_t> d) const {
    if (guest_) SendTo(guestSide_, *guest_, d);
  }

  std::vector<std::vector<uint8_t>> toHost, toGuest;  // all that was carried, oldest first

 private:
  static int Open(int family) {
    const int fd = socket(family, SOCK_DGRAM | SOCK_NONBLOCK, 0);
    sockaddr_storage at{};
    const in6_addr loop6 = in6addr_loopback;
    const UdpAddress a =
        family == AF_INET6 ? UdpAddress::V6(loop6, 0) : UdpAddress::V4(htonl(INADDR_LOOPBACK), 0);
    std::memcpy(&at, a.Raw(), a.Length());
    bind(fd, reinterpret_cast<const sockaddr*>(&at), a.Length());
    return fd;
  }
  static void SendTo(int fd, const UdpAddress& to, std::span<const uint8_t> d) {
    sendto(fd, d.data(), d.size(), MSG_DONTWAIT, to.Raw(), to.Length());
  }

  int guestSide_, hostSide_;
  UdpAddress host_;
  std::optional<UdpAddress> guest_;
};

// ENet's DISCONNECT to the peer with `peerId` in session `session`, as ENet would send it.
std::vector<uint8_t> EnetDisconnect(uint16_t peerId, int session, bool sentTime, uint32_t data) {
  std::vector<uint8_t> d;
  uint16_t word = static_cast<uint16_t>(peerId | session << ENET_PROTOCOL_HEADER_SESSION_SHIFT);
  if (sentTime) word |= ENET_PROTOCOL_HEADER_FLAG_SENT_TIME;
  d = {static_cast<uint8_t>(word >> 8), static_cast<uint8_t>(word)};
  if (sentTime) d.insert(d.end(), {0, 0});
  d.insert(d.end(), {ENET_PROTOCOL_COMMAND_DISCONNECT, 0xFF, 0, 1});
  for (int i = 3; i >= 0; --i) d.push_back(static_cast<uint8_t>(data >> (8 * i)));
  return d;
}

struct Pair {
  explicit Pair(int family) {
    std::string error;
    host = EnetTransport::Listen(0, error, family == AF_INET6 ? "::1" : "127.0.0.1");
    if (!host) return;
    relay = std::make_unique<TamperingRelay>(family, host->Port());
    guest =
        EnetTransport::Join(family == AF_INET6 ? "::1" : "127.0.0.1", relay->GuestPort(), error);
  }
  void Step() {
    relay->Pass();
    host->Service();
    relay->Pass();
    guest->Service();
  }
  bool Connected() const {
    return host->State() == LinkState::Connected && guest->State() == LinkState::Connected;
  }
  bool ConnectWithin(int steps) {
    for (int i = 0; i < steps && !Connected(); ++i) {
      Step();
      usleep(500);
    }
    return Connected();
  }
  std::unique_ptr<EnetTransport> host, guest;
  std::unique_ptr<TamperingRelay> relay;
};

// The datagram a side sends as its `index`th: the index and bytes made from it.
std::vector<uint8_t> Numbered(uint32_t index, bool fromHost) {
  std::vector<uint8_t> d(24 + index % 17);
  for (size_t i = 0; i < d.size(); ++i) d[i] = static_cast<uint8_t>(index * 31 + i * 7 + fromHost);
  std::memcpy(d.data(), &index, 4);
  d[4] = fromHost;
  return d;
}

// What `t` has received, checked: each the other side's, unchanged, at most once.
void TakeReceived(EnetTransport& t, bool fromHost, std::set<uint32_t>& got, int& bad) {
  std::vector<uint8_t> d;
  while (t.Receive(d)) {
    uint32_t index = 0;
    if (d.size() >= 5) std::memcpy(&index, d.data(), 4);
    if (d.size() < 5 || d != Numbered(index, fromHost) || !got.insert(index).second) ++bad;
  }
}

class TamperingRelayOver : public ::testing::TestWithParam<int> {};

TEST_P(TamperingRelayOver, ForgedDisconnectsFromTheOthersAddressChangeNothing) {
  if (GetParam() == AF_INET6) KAVARIN_SKIP_WITHOUT_IPV6_LOOPBACK();
  Pair p(GetParam());
  ASSERT_TRUE(p.host && p.guest);
  ASSERT_TRUE(p.ConnectWithin(4000));

  // Every form of DISCONNECT ENet takes: each peer id and session, with and without the sending
  // time, saying goodbye or not; then datagrams shaped like ENet's, random behind the header.
  std::vector<std::vector<uint8_t>> forged;
  for (uint16_t peer = 0; peer < 2; ++peer)
    for (int session = 0; session < 4; ++session)
      for (const bool sentTime : {false, true})
        for (const uint32_t data : {0u, 1u})
          forged.push_back(EnetDisconnect(peer, session, sentTime, data));
  std::mt19937 random(17);
  for (int i = 0; i < 3000; ++i) {
    std::vector<uint8_t> d(4 + random() % 60);
    for (uint8_t& b : d) b = static_cast<uint8_t>(random());
    d[0] &= 0x30;  // peer id 0, any session, no flags
    d[1] = 0;
    forged.push_back(d);
  }
  for (size_t i = 0; i < forged.size(); ++i) {
    p.relay->ToHost(forged[i]);
    p.relay->ToGuest(forged[i]);
    if (i % 64 == 0) p.Step();
  }
  for (int i = 0; i < 200; ++i) {
    p.Step();
    usleep(200);
  }
  EXPECT_TRUE(p.Connected());
  EXPECT_GE(p.host->Stats().forgeriesDropped, static_cast<int64_t>(forged.size()) * 9 / 10);
  EXPECT_GE(p.guest->Stats().forgeriesDropped, static_cast<int64_t>(forged.size()) * 9 / 10);

  // And the link still carries both ways.
  std::set<uint32_t> atHost, atGuest;
  int bad = 0;
  for (uint32_t i = 0; i < 100 && atHost.size() + atGuest.size() < 200; ++i) {
    if (i < 50) {
      p.guest->Send(Numbered(i, false));
      p.host->Send(Numbered(i, true));
    }
    p.Step();
    usleep(200);
    TakeReceived(*p.host, false, atHost, bad);
    TakeReceived(*p.guest, true, atGuest, bad);
  }
  EXPECT_EQ(bad, 0);
  EXPECT_GE(atHost.size(), 49u);
  EXPECT_GE(atGuest.size(), 49u);
}

// Long enough that ENet's own 16-bit windows have been round more than half way: a copy of one
// of the first datagrams then looks new to ENet, and would leave it deaf to everything after.
TEST_P(TamperingRelayOver, ReplayedAndChangedDatagramsOfEveryAgeChangeNothing) {
  if (GetParam() == AF_INET6) KAVARIN_SKIP_WITHOUT_IPV6_LOOPBACK();
  Pair p(GetParam());
  ASSERT_TRUE(p.host && p.guest);
  ASSERT_TRUE(p.ConnectWithin(4000));

  constexpr uint32_t Datagrams = 42'000;
  std::mt19937 random(29);
  std::set<uint32_t> atHost, atGuest;
  int bad = 0;
  int64_t injected = 0;
  uint32_t lateHost = 0, lateGuest = 0;  // of the last 2000 each sent, how many arrived
  const auto tamper = [&](std::vector<std::vector<uint8_t>>& carried, bool toHost) {
    if (carried.empty()) return;
    const size_t n = carried.size();
    std::vector<std::vector<uint8_t>> out;
    // Copies: of the very first (the handshake), of one from 32,768 to 40,000 back, of any,
    // of the newest.
    out.push_back(carried[random() % std::min<size_t>(n, 8)]);
    if (n > 32'768)
      out.push_back(carried[n - 32'768 - random() % std::min<size_t>(n - 32'768, 7'232)]);
    out.push_back(carried[random() % n]);
    out.push_back(carried[n - 1]);
    // Changed copies of recent ones: a bit turned, cut short, grown.
    std::vector<uint8_t> turned = carried[n - 1 - random() % std::min<size_t>(n, 32)];
    turned[random() % turned.size()] ^= static_cast<uint8_t>(1 << random() % 8);
    out.push_back(turned);
    std::vector<uint8_t> cut = carried[n - 1];
    cut.resize(cut.size() - 1 - random() % cut.size());
    out.push_back(cut);
    std::vector<uint8_t> grown = carried[n - 1];
    grown.push_back(static_cast<uint8_t>(random()));
    out.push_back(grown);
    for (const auto& d : out) {
      if (toHost)
        p.relay->ToHost(d);
      else
        p.relay->ToGuest(d);
    }
    injected += static_cast<int64_t>(out.size());
  };
  for (uint32_t i = 0; i < Datagrams; ++i) {
    p.guest->Send(Numbered(i, false));
    p.host->Send(Numbered(i, true));
    p.Step();
    if (i % 40 == 0) {
      tamper(p.relay->toHost, true);
      tamper(p.relay->toGuest, false);
    }
    if (i % 16 == 0) usleep(50);  // ENet's acknowledgements and pings come with time
    const size_t hostBefore = atHost.size(), guestBefore = atGuest.size();
    TakeReceived(*p.host, false, atHost, bad);
    TakeReceived(*p.guest, true, atGuest, bad);
    if (i >= Datagrams - 2000) {
      lateHost += static_cast<uint32_t>(atHost.size() - hostBefore);
      lateGuest += static_cast<uint32_t>(atGuest.size() - guestBefore);
    }
    ASSERT_TRUE(p.Connected()) << "after " << i << " datagrams";
  }
  for (int i = 0; i < 50; ++i) {
    p.Step();
    TakeReceived(*p.host, false, atHost, bad);
    TakeReceived(*p.guest, true, atGuest, bad);
  }
  EXPECT_EQ(bad, 0);
  EXPECT_TRUE(p.Connected());
  // Loopback loses next to nothing: what goes missing was kept out.
  EXPECT_GE(atHost.size(), Datagrams * 99 / 100);
  EXPECT_GE(atGuest.size(), Datagrams * 99 / 100);
  EXPECT_GE(lateHost, 1900u);
  EXPECT_GE(lateGuest, 1900u);
  EXPECT_GE(p.host->Stats().forgeriesDropped + p.guest->Stats().forgeriesDropped,
            injected * 9 / 10);
}

INSTANTIATE_TEST_SUITE_P(IPv4AndIPv6, TamperingRelayOver, ::testing::Values(AF_INET, AF_INET6),
                         [](const auto& info) { return info.param == AF_INET6 ? "IPv6" : "IPv4"; });

}  // namespace
}  // namespace kavarin

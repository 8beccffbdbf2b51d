// STUN messages and the TURN client against a server played by the test: whatever is written
// reads back the same; every cut or changed byte of a signed message is refused; and a client fed
// every truncation and every one-byte change of a server's answers never takes a forged one.

#include <gtest/gtest.h>

#include <random>

#include "online/stun_message.h"
#include "online/turn_client.h"

namespace kavarin {
namespace {

using Clock = TurnClient::Clock;

UdpAddress RandomAddress(std::mt19937& rng) {
  if (rng() % 2) return UdpAddress::V4(static_cast<uint32_t>(rng()), static_cast<uint16_t>(rng()));
  in6_addr host;
  for (auto& b : host.s6_addr) b = static_cast<uint8_t>(rng());
  return UdpAddress::V6(host, static_cast<uint16_t>(rng()));
}

TEST(StunMessage, ReadsBackWhatWasWrittenAndRefusesEveryCutOrChange) {
  std::mt19937 rng(18);
  const auto key = stun::LongTermKey("1700000000:ROOM", "kavarin.test", "password");
  const auto otherKey = stun::LongTermKey("1700000000:ROOM", "kavarin.test", "passworD");
  for (int round = 0; round < 200; ++round) {
    const stun::TransactionId id = stun::NewTransactionId();
    stun::Writer w(stun::ChannelBind, stun::Success, id);
    const UdpAddress peer = RandomAddress(rng), relayed = RandomAddress(rng);
    std::string text(rng() % 40, 'x');
    for (char& c : text) c = static_cast<char>('a' + rng() % 26);
    const uint32_t word = static_cast<uint32_t>(rng());
    w.Address(stun::XorPeerAddress, peer).Text(stun::Nonce, text).Word(stun::Lifetime, word);
    w.Address(stun::XorRelayedAddress, relayed).Failure(400 + static_cast<int>(rng() % 200), text);
    const bool signed_ = round % 2 == 0;
    const std::vector<uint8_t> bytes = signed_ ? w.Finish(key) : w.Finish();

    const auto m = stun::Read(bytes);
    ASSERT_TRUE(m) << round;
    EXPECT_EQ(m->method, stun::ChannelBind);
    EXPECT_EQ(m->cls, stun::Success);
    EXPECT_EQ(m->id, id);
    EXPECT_EQ(m->Address(stun::XorPeerAddress), peer);
    EXPECT_EQ(m->Address(stun::XorRelayedAddress), relayed);
    EXPECT_EQ(m->Text(stun::Nonce), text);
    EXPECT_EQ(m->Word(stun::Lifetime), word);
    ASSERT_TRUE(m->Failure());
    EXPECT_EQ(m->Failure()->second, text);
    EXPECT_EQ(m->SignedWith(key), signed_);
    EXPECT_FALSE(m->SignedWith(otherKey));

    for (size_t n = 0; n < bytes.size(); ++n)
      EXPECT_FALSE(stun::Read(std::span(bytes).first(n))) << "cut to " << n;
    if (!signed_) continue;
    for (size_t at = 0; at < bytes.size(); ++at) {
      std::vector<uint8_t> changed = bytes;
      changed[at] ^= static_cast<uint8_t>(1 + rng() % 255);
      const auto c = stun::Read(changed);
      EXPECT_FALSE(c && c->SignedWith(key)) << "byte " << at << " changed and still signed";
    }
  }
}

TEST(StunMessage, ChannelFramesReadBackWithPaddingAndNothingElse) {
  for (size_t n = 0; n < 70; ++n) {
    std::vector<uint8_t> data(n, static_cast<uint8_t>(n));
    const uint16_t channel = static_cast<uint16_t>(0x4000 + n * 59 % 0x1000);
    std::vector<uint8_t> frame = stun::ChannelFrame(channel, data);
    for (size_t pad = 0; pad < 6; ++pad, frame.push_back(0)) {
      const auto piece = stun::ReadChannelFrame(frame);
      ASSERT_EQ(piece.has_value(), pad <= 3) << n << " padded by " << pad;
      if (!piece) continue;
      EXPECT_EQ(piece->channel, channel);
      EXPECT_TRUE(std::equal(piece->data.begin(), piece->data.end(), data.begin(), data.end()));
    }
    frame.resize(4 + n);
    for (size_t cut = 0; cut < frame.size(); ++cut)
      EXPECT_FALSE(stun::ReadChannelFrame(std::span(frame).first(cut))) << n << " cut " << cut;
  }
  EXPECT_FALSE(stun::ReadChannelFrame(stun::ChannelFrame(0x3FFF, {})));
  EXPECT_FALSE(stun::ReadChannelFrame(stun::ChannelFrame(0x5000, {})));
}

// The server's part, written by the test: a challenge, then a signed allocation.
struct Exchange {
  const std::string user = "1700000000:ROOM", password = "secret", realm = "kavarin.test";
  const std::array<uint8_t, 16> key = stun::LongTermKey(user, realm, password);
  const UdpAddress server = UdpAddress::V4(htonl(0xCB007114), 3478);
  const UdpAddress relayed = UdpAddress::V4(htonl(0xCB007114), 50000);
  const UdpAddress peer = UdpAddress::V4(htonl(0xC6336402), 40000);
  const Clock::time_point now = Clock::now();

  static stun::Message Only(const std::vector<std::vector<uint8_t>>& due, stun::Method method) {
    for (const auto& d : due)
      if (auto m = stun::Read(d); m && m->method == method) return *m;
    ADD_FAILURE() << "no request for method " << method;
    return {};
  }
  std::vector<uint8_t> Challenge(TurnClient& c) {
    const auto ask = Only(c.Due(now), stun::Allocate);
    return stun::Writer(stun::Allocate, stun::Error, ask.id)
        .Failure(401, "Unauthorized")
        .Text(stun::Realm, realm)
        .Text(stun::Nonce, "n0nce")
        .Finish();
  }
  // The signed answer to the signed request that follows the challenge.
  std::vector<uint8_t> Allocated(TurnClient& c) {
    const auto due = c.Due(now);
    const auto ask = Only(due, stun::Allocate);
    EXPECT_EQ(ask.Text(stun::Username), user);
    EXPECT_EQ(ask.Text(stun::Nonce), "n0nce");
    EXPECT_TRUE(ask.SignedWith(key)) << "the request is signed with the long-term key";
    return stun::Writer(stun::Allocate, stun::Success, ask.id)
        .Address(stun::XorRelayedAddress, relayed)
        .Address(stun::XorMappedAddress, peer)
        .Word(stun::Lifetime, 600)
        .Finish(key);
  }
};

TEST(TurnClientFed, TakesOnlyGenuineAnswersWhateverIsCutOrChanged) {
  Exchange x;
  {
    TurnClient c(x.server, x.user, x.password);
    ASSERT_FALSE(c.Take(x.Challenge(c), x.now));
    ASSERT_FALSE(c.Take(x.Allocated(c), x.now));
    ASSERT_EQ(c.State(), TurnClient::Stage::Ready) << c.Failure();
    EXPECT_EQ(c.Relayed(), x.relayed);
  }
  std::mt19937 rng(5766);
  // The challenge is not signed: a changed one may lead the client astray, never to Ready.
  TurnClient first(x.server, x.user, x.password);
  const auto challenge = x.Challenge(first);
  for (size_t at = 0; at <= challenge.size() * 2; ++at) {
    TurnClient c(x.server, x.user, x.password);
    auto bytes = x.Challenge(c);
    if (at < bytes.size())
      bytes.resize(at);
    else
      bytes[at - bytes.size()] ^= static_cast<uint8_t>(1 + rng() % 255);
    c.Take(bytes, x.now);
    c.Due(x.now);
    EXPECT_NE(c.State(), TurnClient::Stage::Ready);
    EXPECT_FALSE(c.Relayed());
  }
  // The allocation is signed: no cut or change of it is taken.
  for (size_t at = 0;; ++at) {
    TurnClient c(x.server, x.user, x.password);
    c.Take(x.Challenge(c), x.now);
    auto bytes = x.Allocated(c);
    if (at >= bytes.size() * 2) break;
    if (at < bytes.size())
      bytes.resize(at);
    else
      bytes[at - bytes.size()] ^= static_cast<uint8_t>(1 + rng() % 255);
    EXPECT_FALSE(c.Take(bytes, x.now));
    EXPECT_EQ(c.State(), TurnClient::Stage::Allocating) << "byte " << at;
  }
}

TEST(TurnClientFed, UnwrapsOnlyThePeersItAllowed) {
  Exchange x;
  TurnClient c(x.server, x.user, x.password);
  c.Allow(x.peer);
  c.Take(x.Challenge(c), x.now);
  c.Take(x.Allocated(c), x.now);
  ASSERT_EQ(c.State(), TurnClient::Stage::Ready);
  const auto due = c.Due(x.now);
  const auto bind = Exchange::Only(due, stun::ChannelBind);
  EXPECT_TRUE(bind.SignedWith(x.key));
  ASSERT_TRUE(bind.Word(stun::ChannelNumber));
  const uint16_t channel = static_cast<uint16_t>(*bind.Word(stun::ChannelNumber) >> 16);
  EXPECT_EQ(bind.Address(stun::XorPeerAddress), x.peer);

  const std::vector<uint8_t> payload{1, 2, 3, 4, 5, 6, 7};
  const auto data = [&](const UdpAddress& from) {
    return stun::Writer(stun::Data, stun::Indication, stun::NewTransactionId())
        .Address(stun::XorPeerAddress, from)
        .Bytes(stun::DataAttribute, payload)
        .Finish();
  };
  auto got = c.Take(data(x.peer), x.now);
  ASSERT_TRUE(got);
  EXPECT_EQ(got->peer, x.peer);
  EXPECT_EQ(got->datagram, payload);
  EXPECT_FALSE(c.Take(data(x.relayed), x.now)) << "a peer never allowed";
  got = c.Take(stun::ChannelFrame(channel, payload), x.now);
  ASSERT_TRUE(got);
  EXPECT_EQ(got->peer, x.peer);
  EXPECT_EQ(got->datagram, payload);
  EXPECT_FALSE(c.Take(stun::ChannelFrame(static_cast<uint16_t>(channel + 1), payload), x.now));
  // Whatever a changed datagram unwraps to, it is the allowed peer's and no longer than sent.
  std::mt19937 rng(8656);
  for (const auto& sent : {data(x.peer), stun::ChannelFrame(channel, payload)}) {
    for (size_t at = 0; at < sent.size() * 8; ++at) {
      auto bytes = sent;
      bytes[at % bytes.size()] ^= static_cast<uint8_t>(1 + rng() % 255);
      if (at >= sent.size()) bytes.resize(rng() % (sent.size() + 1));
      if (const auto p = c.Take(bytes, x.now)) {
        EXPECT_EQ(p->peer, x.peer);
        EXPECT_LE(p->datagram.size(), payload.size());
      }
    }
  }
  EXPECT_EQ(c.State(), TurnClient::Stage::Ready);
  const auto framed = c.Wrap(x.peer, payload);
  ASSERT_TRUE(framed);
  EXPECT_EQ((*framed)[0] & 0xC0, 0) << "a Send indication until the channel is bound";
  const auto sendIndication = stun::Read(*framed);
  ASSERT_TRUE(sendIndication);
  EXPECT_EQ(sendIndication->Address(stun::XorPeerAddress), x.peer);
  EXPECT_FALSE(c.Wrap(x.relayed, payload)) << "a peer never allowed";
}

}  // namespace
}  // namespace kavarin

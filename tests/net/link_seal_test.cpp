// The seal between two machines, over a network that reorders, repeats, replays and changes what
// it carries: what opens is exactly what was sealed, once; what was changed, cut, sealed for
// another link or heard before never opens; and nothing old keeps out anything genuine.
#include "online/link_seal.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

namespace kavarin {
namespace {

struct TwoSides {
  KeyPair guestPair = KeyPair::Random(), hostPair = KeyPair::Random();
  LinkKeys guestKeys = *GuestKeys(guestPair, hostPair.publicKey);
  LinkKeys hostKeys = *HostKeys(hostPair, guestPair.publicKey);
  LinkSeal guest{guestKeys, Introduction{0x1234, guestPair.publicKey}, std::nullopt};
  LinkSeal host{hostKeys, std::nullopt, guestPair.publicKey};
};

std::vector<uint8_t> Payload(uint32_t n) {
  std::vector<uint8_t> d(n % 50);
  for (size_t i = 0; i < d.size(); ++i) d[i] = static_cast<uint8_t>(n + i);
  return d;
}

TEST(LinkSeal, OpensWhatWasSealedOnceAndNothingElse) {
  TwoSides s;
  std::mt19937 random(5);
  // The guest introduces itself until it has opened one of the host's; the host's key agrees.
  std::vector<uint8_t> sealed, opened;
  s.guest.Seal(Payload(1), sealed);
  ASSERT_EQ(sealed.size(), IntroHeader + Payload(1).size() + SealTagSize);
  ASSERT_TRUE(IntroductionOf(sealed));
  EXPECT_EQ(IntroductionOf(sealed)->cookie, 0x1234u);
  // Under another guest's key, or opened where it was sealed, it does not open.
  LinkSeal stranger{s.hostKeys, std::nullopt, KeyPair::Random().publicKey};
  EXPECT_FALSE(stranger.Open(sealed, opened));
  LinkSeal mirror{s.guestKeys, std::nullopt, s.guestPair.publicKey};
  EXPECT_FALSE(mirror.Open(sealed, opened));
  ASSERT_TRUE(s.host.Open(sealed, opened));
  EXPECT_EQ(opened, Payload(1));
  s.host.Seal(Payload(2), sealed);
  EXPECT_EQ(sealed.size(), SealOverhead + Payload(2).size());
  ASSERT_TRUE(s.guest.Open(sealed, opened));
  s.guest.Seal(Payload(3), sealed);
  EXPECT_EQ(sealed.size(), SealOverhead + Payload(3).size());

  // A long run over a bad network: each datagram delivered late by up to 40 places, some twice,
  // copies of any earlier one now and then, and changed copies.
  constexpr uint32_t Count = 70'000;  // the counter's low bits go round twice
  std::vector<std::vector<uint8_t>> wire(Count);
  for (uint32_t i = 0; i < Count; ++i) s.guest.Seal(Payload(i), wire[i]);
  std::vector<std::pair<uint64_t, uint32_t>> order;  // (when, which)
  for (uint32_t i = 0; i < Count; ++i) {
    order.emplace_back(uint64_t{i} * 64 + random() % (40 * 64), i);
    if (random() % 10 == 0) order.emplace_back(uint64_t{i} * 64 + random() % (40 * 64), i);
  }
  std::sort(order.begin(), order.end());
  // None is late by more than the window: each opens exactly once, whether the first to come is
  // the datagram or a copy of it.
  std::vector<int> opens(Count);
  int changedOpened = 0;
  const auto open = [&](uint32_t which, const std::vector<uint8_t>& d) {
    if (!s.host.Open(d, opened)) return;
    ++opens[which];
    EXPECT_EQ(opened, Payload(which));
  };
  for (const auto& [when, which] : order) {
    open(which, wire[which]);
    const uint32_t old = static_cast<uint32_t>(random() % (which + 1));
    open(old, wire[old]);
    std::vector<uint8_t> changed = wire[std::min<size_t>(Count - 1, which + 1 + random() % 8)];
    if (random() % 2)
      changed[random() % changed.size()] ^= static_cast<uint8_t>(1 << random() % 8);
    else
      changed.resize(random() % changed.size());
    if (s.host.Open(changed, opened)) ++changedOpened;
  }
  EXPECT_EQ(changedOpened, 0);
  EXPECT_EQ(std::count(opens.begin(), opens.end(), 1), static_cast<long>(Count));
}

TEST(ReplayWindow, TakesEachCounterOnceAndNothingTooOld) {
  ReplayWindow w;
  EXPECT_FALSE(w.Fresh(0));
  // 6 is the oldest the window keeps once 70 has come, 136 once 200 has.
  for (const auto& [c, fresh] : std::initializer_list<std::pair<uint64_t, bool>>{{5, true},
                                                                                 {3, true},
                                                                                 {4, true},
                                                                                 {3, false},
                                                                                 {70, true},
                                                                                 {5, false},
                                                                                 {6, true},
                                                                                 {200, true},
                                                                                 {135, false},
                                                                                 {136, true},
                                                                                 {70, false},
                                                                                 {199, true}}) {
    EXPECT_EQ(w.Fresh(c), fresh) << c;
    if (fresh) w.Take(c);
    EXPECT_FALSE(w.Fresh(c));
  }
  // A counter far ahead, then every older one is refused; the next ones still come.
  w.Take(uint64_t{1} << 62);
  for (uint64_t c = 1; c < 1000; ++c) EXPECT_FALSE(w.Fresh(c));
  EXPECT_TRUE(w.Fresh((uint64_t{1} << 62) + 1));
  EXPECT_TRUE(w.Fresh((uint64_t{1} << 62) - 1));
}

}  // namespace
}  // namespace kavarin

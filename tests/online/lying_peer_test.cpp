// Two sessions over a simulated link where one side lies or the link tampers: a peer that stops
// confirming frames, a goodbye that claims a shorter record, a change in the match's last frames,
// and players who never end. Each side must end, agree, or find the other out.
#include <gtest/gtest.h>

#include <functional>
#include <optional>

#include "machine.h"

namespace kavarin {
namespace {

constexpr LinkQuality Clean{.oneWayUs = 20'000, .jitterUs = 0, .loss = 0, .duplication = 0};

// Runs both machines a frame time at a time until `stop` or `frames` frame times have passed.
int64_t RunBoth(SimulatedLink& link, Machine& host, Machine& guest, int64_t& t, int64_t frames,
                bool playing, const std::function<bool()>& stop = {}) {
  const int64_t until = t + frames;
  while (t < until && !(stop && stop())) {
    const int64_t now = static_cast<int64_t>(t++ * FrameUs);
    link.SetNow(now);
    host.Frame(now, playing);
    guest.Frame(now, playing);
  }
  return t;
}

bool Over(const Machine& m) {
  return m.session.State() != SessionState::Playing;
}

// A guest whose inputs never arrive, though its pings do, is lost after 5 s without a new frame.
TEST(LyingPeer, PingsAloneDoNotHoldAMatch) {
  SimulatedLink link(Clean, 1);
  link.tamper = [](int side, std::vector<uint8_t>& bytes) {
    const std::optional<Message> m = Decode(bytes);
    if (side == 1 && m && std::holds_alternative<Inputs>(m->body)) bytes.clear();
  };
  Machine host(Player::Host, link, 1);
  Machine guest(Player::Guest, link, 2);
  int64_t t = 0;
  RunBoth(link, host, guest, t, 600, true,
          [&] { return host.session.State() == SessionState::Playing; });
  ASSERT_EQ(host.session.State(), SessionState::Playing);
  const int64_t began = t;
  RunBoth(link, host, guest, t, 900, true, [&] { return Over(host); });
  EXPECT_EQ(host.session.State(), SessionState::PeerLost);
  EXPECT_TRUE(host.session.Stalled());
  // Five seconds, and not much more.
  EXPECT_LE(static_cast<double>(t - began) * FrameUs, 5.5e6);
  EXPECT_LE(host.session.Settled(), 0);
}

// A goodbye claiming the record ends at frame 1 cannot take back frames both sides' inputs
// support; an honest goodbye still ends both records alike (two_machines_test.cpp).
TEST(LyingPeer, AGoodbyeCannotShortenOurRecord) {
  SimulatedLink link(LinkQuality{}, 5);
  Machine host(Player::Host, link, 3);
  Machine guest(Player::Guest, link, 4);
  host.end.keepHeard = true;
  int64_t t = 0;
  RunBoth(link, host, guest, t, 4000, true, [&] { return host.session.NextFrame() >= 2000; });
  ASSERT_FALSE(host.end.heard.empty());
  const uint64_t token = Decode(host.end.heard.back())->token;
  host.end.injected.push_back(Encode(Message{token, Goodbye{1}}));
  const int64_t settled = host.session.Settled();
  RunBoth(link, host, guest, t, 5, false);
  ASSERT_EQ(host.session.State(), SessionState::PeerLeft);
  // At most the frames in flight, about a round trip's, are not both sides' yet.
  EXPECT_GE(host.session.Record().Frames(), settled - 20);
  EXPECT_LE(host.session.Record().Frames(), host.session.Settled() + 1);
}

// A tampered event in the last frames, after the last regular checkpoint, is found on both sides.
TEST(LyingPeer, ADesyncInTheLastFramesIsFoundByBoth) {
  for (const int64_t before : {2, 9, 15}) {
    SimulatedLink link(Clean, 3);
    link.tamper = [](int side, std::vector<uint8_t>& bytes) {
      std::optional<Message> m = Decode(bytes);
      auto* in = m ? std::get_if<Inputs>(&m->body) : nullptr;
      if (side != 0 || in == nullptr) return;
      for (FrameInput& f : in->frames) {
        FrameInput changed;
        for (InputEvent e : f.Events()) changed.Add(e.key == VkS ? InputEvent{e.kind, VkX} : e);
        f = changed;
      }
      bytes = Encode(*m);
    };
    Machine host(Player::Host, link, 1);
    Machine guest(Player::Guest, link, 2);
    int64_t t = 0;
    RunBoth(link, host, guest, t, 600, false, [&] { return host.session.NextFrame() > 10; });
    host.session.Input({EventKind::KeyDown, VkSpace});  // play starts
    const int64_t end = 420;                            // just past the checkpoint after frame 419
    RunBoth(link, host, guest, t, 900, false,
            [&] { return host.session.NextFrame() >= end - before; });
    host.session.Input({EventKind::KeyDown, VkS});
    RunBoth(link, host, guest, t, 900, false, [&] { return host.session.NextFrame() >= end - 4; });
    host.session.EndInputs();
    guest.session.EndInputs();
    RunBoth(link, host, guest, t, 900, false, [&] { return Over(host) && Over(guest); });
    EXPECT_EQ(host.session.State(), SessionState::Desynced) << before;
    EXPECT_EQ(guest.session.State(), SessionState::Desynced) << before;
  }
}

// Players who never end their inputs are ended by the longest match, on both sides alike.
TEST(LyingPeer, TheLongestMatchEndsPlayersWhoNeverEnd) {
  constexpr int64_t Longest = 1500;
  SimulatedLink link(LinkQuality{}, 9);
  Machine host(Player::Host, link, 5, Longest);
  Machine guest(Player::Guest, link, 6, Longest);
  int64_t t = 0;
  RunBoth(link, host, guest, t, 4 * Longest, true, [&] { return BothDone(host, guest); });
  ASSERT_EQ(host.session.State(), SessionState::Finished);
  ASSERT_EQ(guest.session.State(), SessionState::Finished);
  EXPECT_TRUE(host.session.AtLongest());
  EXPECT_EQ(host.session.EndFrame(), Longest);
  EXPECT_EQ(host.session.Record().Frames(), Longest);
  EXPECT_EQ(guest.session.Record().Script(), host.session.Record().Script());
  EXPECT_TRUE(host.hashes == guest.hashes);
}

}  // namespace
}  // namespace kavarin

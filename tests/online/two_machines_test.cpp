// Two sessions in one process over a simulated link of 120 ms round trip, 30 ms of jitter either
// way, 5 % loss, 1 % duplication and the reordering jitter brings; both players give random
// inputs. The two machines must agree on every confirmed frame, keep the same record, and that
// record must hold exactly what each player did and replay to the same end.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "machine.h"
#include "tools/observers/trace_lines.h"
#include "tools/replay/replay.h"

namespace kavarin {
namespace {

std::vector<InputEvent> EventsOf(const MatchRecord& record, Player player) {
  std::vector<InputEvent> events;
  for (const MatchRecord::Entry& e : record.Events())
    if (e.player == player) events.push_back(e.event);
  return events;
}

TEST(TwoMachines, AgreeOnEveryFrameOverAPoorLink) {
  constexpr int64_t Frames = 100'000;
  SimulatedLink link(LinkQuality{}, 7);
  Machine host(Player::Host, link, 11);
  Machine guest(Player::Guest, link, 12);

  int64_t frameTime = 0;
  int64_t skew = 0;  // how far apart the two frame clocks stand, once they have settled
  // The round trip each side measures in play, where an answer waits for the next inputs.
  int tripLow = 1 << 30;
  int tripHigh = 0;
  auto step = [&](bool playing) {
    const int64_t now = static_cast<int64_t>(frameTime++ * FrameUs);
    link.SetNow(now);
    host.Frame(now, playing);
    guest.Frame(now, playing);
    if (playing && host.session.NextFrame() > 600)
      skew = std::max(skew, std::abs(host.session.NextFrame() - guest.session.NextFrame()));
    if (playing && host.session.NextFrame() > 600) {
      for (const Machine* m : {&host, &guest}) {
        tripLow = std::min(tripLow, m->session.RoundTripMs());
        tripHigh = std::max(tripHigh, m->session.RoundTripMs());
      }
    }
  };
  while (host.session.NextFrame() < Frames && frameTime < 2 * Frames) step(true);
  host.session.EndInputs();
  guest.session.EndInputs();
  const int64_t stop = frameTime + 3600;
  while (frameTime < stop && !BothDone(host, guest)) step(false);

  ASSERT_EQ(host.session.State(), SessionState::Finished);
  ASSERT_EQ(guest.session.State(), SessionState::Finished);
  const int64_t end = host.session.EndFrame();
  EXPECT_EQ(guest.session.EndFrame(), end);
  EXPECT_GE(end, Frames);

  // The same simulation, frame by frame, on both machines.
  ASSERT_EQ(host.hashes.size(), static_cast<size_t>(end));
  EXPECT_TRUE(host.hashes == guest.hashes);

  // The same record, holding every event each player made, in order, and nothing else.
  const std::string script = host.session.Record().Script();
  EXPECT_EQ(guest.session.Record().Script(), script);
  EXPECT_TRUE(EventsOf(host.session.Record(), Player::Host) == host.made);
  EXPECT_TRUE(EventsOf(host.session.Record(), Player::Guest) == guest.made);
  EXPECT_GT(host.made.size(), 10'000u);

  // Replayed, the record ends where the match ended.
  std::istringstream in(script);
  std::ostringstream out;
  std::ostringstream err;
  ASSERT_EQ(RunReplay(in, out, err), ReplayOk) << err.str();
  std::string finalState;
  AppendStateLine(finalState, host.session.SettledState());
  EXPECT_EQ(out.str(), finalState + "\n");

  // The rollbacks were real, and the picture never stalled for long.
  EXPECT_GT(host.session.Stats().rollbacks, 1000);
  EXPECT_GT(guest.session.Stats().rollbacks, 1000);
  EXPECT_LE(skew, 2) << "the frame clocks stay within about a frame of each other";
  // The link's own 120 ms, and a frame or so of waiting to be read at each end; the time an
  // answer was held for the inputs does not count.
  EXPECT_GE(tripLow, 100);
  EXPECT_LE(tripHigh, 160);
  EXPECT_LE(host.longestWait, 3);
  EXPECT_LE(guest.longestWait, 3);
  EXPECT_EQ(host.session.Stats().eventsDropped + guest.session.Stats().eventsDropped, 0);

  // At most 4 KB a second each, counting the datagrams' own bytes.
  const double seconds = static_cast<double>(frameTime) * FrameUs / 1e6;
  for (const Machine* m : {&host, &guest}) {
    const double perSecond = static_cast<double>(m->session.Stats().bytesSent) / seconds;
    EXPECT_LE(perSecond, 4096.0);
    const std::string who = m->player == Player::Host ? "host_" : "guest_";
    RecordProperty(who + "bytes_per_s", std::to_string(static_cast<int64_t>(perSecond)));
    RecordProperty(who + "rollbacks", std::to_string(m->session.Stats().rollbacks));
    RecordProperty(who + "frames_resimulated",
                   std::to_string(m->session.Stats().framesResimulated));
    RecordProperty(who + "longest_wait", std::to_string(m->longestWait));
    RecordProperty(who + "input_delay", std::to_string(m->session.InputDelay()));
    RecordProperty("clock_skew_frames", std::to_string(skew));
    RecordProperty("round_trip_ms", std::to_string(tripLow) + "-" + std::to_string(tripHigh));
  }
}

// A player who leaves mid-match ends both machines' records at the same frame, over the poor
// link too, whichever of them runs ahead.
TEST(TwoMachines, KeepTheSameRecordWhenOnePlayerLeaves) {
  for (uint64_t seed = 1; seed <= 6; ++seed) {
    SimulatedLink link(LinkQuality{}, seed);
    Machine host(Player::Host, link, seed * 2);
    Machine guest(Player::Guest, link, seed * 2 + 1);
    Machine& leaver = seed % 2 ? host : guest;
    Machine& stayer = seed % 2 ? guest : host;
    int64_t t = 0;
    auto step = [&](bool playing) {
      const int64_t now = static_cast<int64_t>(t++ * FrameUs);
      link.SetNow(now);
      host.Frame(now, playing);
      guest.Frame(now, playing);
    };
    while (leaver.session.NextFrame() < 1500 + static_cast<int64_t>(seed) * 97 && t < 4000)
      step(true);
    leaver.session.Leave();
    for (int i = 0; i < 600 && stayer.session.State() == SessionState::Playing; ++i) step(false);
    ASSERT_EQ(stayer.session.State(), SessionState::PeerLeft) << "seed " << seed;
    EXPECT_GT(leaver.session.Record().Frames(), 1000) << "seed " << seed;
    EXPECT_EQ(stayer.session.Record().Script(), leaver.session.Record().Script())
        << "seed " << seed;
  }
}

// A link that changes what one player sent makes the two simulations differ; both machines must
// find it out and stop, each keeping its record.
TEST(TwoMachines, StopBothSidesWhenTheSimulationsDiffer) {
  SimulatedLink link(LinkQuality{.oneWayUs = 20'000, .jitterUs = 0, .loss = 0, .duplication = 0},
                     3);
  // Every S the host sends reaches the guest as an X.
  link.tamper = [](int side, std::vector<uint8_t>& bytes) {
    if (side != 0) return;
    std::optional<Message> m = Decode(bytes);
    auto* in = m ? std::get_if<Inputs>(&m->body) : nullptr;
    if (in == nullptr) return;
    for (FrameInput& f : in->frames) {
      FrameInput changed;
      for (InputEvent e : f.Events()) changed.Add(e.key == VkS ? InputEvent{e.kind, VkX} : e);
      f = changed;
    }
    bytes = Encode(*m);
  };
  Machine host(Player::Host, link, 1);
  Machine guest(Player::Guest, link, 2);
  bool fired = false;
  for (int64_t t = 0; t < 1200; ++t) {
    const int64_t now = static_cast<int64_t>(t * FrameUs);
    link.SetNow(now);
    if (!fired && host.session.State() == SessionState::Playing && host.session.NextFrame() > 10) {
      host.session.Input({EventKind::KeyDown, VkSpace});  // play starts
      host.session.Input({EventKind::KeyDown, VkS});
      fired = true;
    }
    host.Frame(now, false);
    guest.Frame(now, false);
  }
  EXPECT_EQ(host.session.State(), SessionState::Desynced);
  EXPECT_EQ(guest.session.State(), SessionState::Desynced);
  EXPECT_GT(host.session.Record().Frames(), 0);
  EXPECT_GT(guest.session.Record().Frames(), 0);
}

}  // namespace
}  // namespace kavarin

// Strangers on the link: while two machines play a match over a poor link, 10,000 datagrams that
// no honest peer sent reach them: random bytes, well-formed messages of every kind with a wrong
// token (inputs among them), the machines' own datagrams cut short, lengthened or of another
// version, and exact copies of what they heard earlier. The match must go on exactly as it did
// without them: the same confirmed frames and the same record.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "machine.h"

namespace kavarin {
namespace {

constexpr int64_t Frames = 20'000;
constexpr int Forged = 10'000;

struct Outcome {
  std::vector<uint64_t> hostHashes, guestHashes;
  std::string hostRecord, guestRecord;
  SessionState hostState{}, guestState{};
  int64_t dropped = 0;
};

// A well-formed message of a random kind, under a token the session does not hold, with frame
// numbers near the victim's so that only the token keeps it out.
std::vector<uint8_t> WrongTokenMessage(std::mt19937_64& rng, const Session& victim) {
  const Player sender = OtherPlayer(victim.Me());
  const uint32_t near = static_cast<uint32_t>(victim.NextFrame());
  uint64_t token = rng() % 4 == 0 ? 0 : rng();
  Message m{token, Goodbye{}};
  switch (rng() % 8) {
    case 0: {
      Inputs in;
      in.sequence = static_cast<uint32_t>(rng() % 1'000'000 + 1);
      in.first = near > 4 ? near - 4 : 0;
      in.count = static_cast<uint8_t>(rng() % 12 + 1);
      in.received = near > 8 ? near - 8 : NoFrame;
      in.senderFrame = near;
      static constexpr uint16_t Keys[] = {65, 81, 88, 83, 221, 219, 191, 186, 32};
      for (int f = 0; f < in.count; ++f)
        for (int e = 0; e < 2; ++e) {
          const InputEvent event{e ? EventKind::KeyUp : EventKind::KeyDown, Keys[rng() % 9]};
          if (auto own = ForOwnShip(sender, event)) in.frames[static_cast<size_t>(f)].Add(*own);
        }
      m.body = in;
      break;
    }
    case 1:
      m.body = Checkpoint{near / 20 * 20 + 19 - 40, rng()};
      break;
    case 2:
      m.body = Desync{near > 50 ? near - 50 : 0};
      break;
    case 3:
      m.body = Goodbye{};
      break;
    case 4:
      m.body = Begin{static_cast<uint16_t>(rng())};
      break;
    case 5:
      m.body = Ping{static_cast<uint32_t>(rng())};
      break;
    case 6:
      m.body = Pong{static_cast<uint32_t>(rng())};
      break;
    default:
      m = Message{0, rng() % 2 ? MessageBody(Hello{rng()}) : MessageBody(Welcome{rng()})};
      break;
  }
  return Encode(m);
}

// One of the machine's own earlier datagrams, as heard, or spoilt.
std::vector<uint8_t> Spoilt(std::mt19937_64& rng, std::vector<uint8_t> d) {
  switch (rng() % 4) {
    case 0:
      return d;  // an exact copy
    case 1:
      d.resize(rng() % d.size());
      return d;
    case 2:
      for (uint64_t n = rng() % 16 + 1; n > 0; --n) d.push_back(static_cast<uint8_t>(rng()));
      return d;
    default:
      d[rng() % 2 ? 2 : 0] ^= static_cast<uint8_t>(rng() % 255 + 1);  // version or magic
      return d;
  }
}

std::vector<uint8_t> RandomBytes(std::mt19937_64& rng) {
  std::vector<uint8_t> d(rng() % (MaxDatagramSize + 200));
  for (uint8_t& b : d) b = static_cast<uint8_t>(rng());
  // Half of them start as a real message does, so that the decoder reads on.
  if (d.size() >= 4 && rng() % 2) {
    d[0] = 'K';
    d[1] = 'v';
    d[2] = ProtocolVersion;
    d[3] = static_cast<uint8_t>(rng() % 9 + 1);
  }
  return d;
}

Outcome Play(bool attacked) {
  SimulatedLink link(LinkQuality{}, 21);
  Machine host(Player::Host, link, 31);
  Machine guest(Player::Guest, link, 32);
  std::mt19937_64 rng(41);
  int sent = 0;
  int64_t frameTime = 0;
  auto step = [&](bool playing) {
    const int64_t now = static_cast<int64_t>(frameTime++ * FrameUs);
    link.SetNow(now);
    if (attacked && sent < Forged && host.session.State() == SessionState::Playing &&
        guest.session.State() == SessionState::Playing) {
      for (Machine* m : {&host, &guest}) {
        m->end.keepHeard = true;
        const int n = static_cast<int>(rng() % 3);
        for (int i = 0; i < n && sent < Forged; ++i, ++sent) {
          const uint64_t kind = rng() % 3;
          if (kind == 0 || m->end.heard.size() < 50)
            m->end.injected.push_back(kind == 0 ? RandomBytes(rng)
                                                : WrongTokenMessage(rng, m->session));
          else  // heard at least 20 frame times ago: the link has delivered it once already
            m->end.injected.push_back(
                Spoilt(rng, m->end.heard[rng() % (m->end.heard.size() - 40)]));
        }
      }
    }
    host.Frame(now, playing);
    guest.Frame(now, playing);
  };
  while (host.session.NextFrame() < Frames && frameTime < 2 * Frames) step(true);
  host.session.EndInputs();
  guest.session.EndInputs();
  for (const int64_t stop = frameTime + 3600; frameTime < stop && !BothDone(host, guest);)
    step(false);
  if (attacked) {
    EXPECT_EQ(sent, Forged);
  }
  return {host.hashes,
          guest.hashes,
          host.session.Record().Script(),
          guest.session.Record().Script(),
          host.session.State(),
          guest.session.State(),
          host.session.Stats().datagramsDropped + guest.session.Stats().datagramsDropped};
}

TEST(Strangers, CannotChangeAMatchOrInjectAnInput) {
  const Outcome clean = Play(false);
  const Outcome attacked = Play(true);
  ASSERT_EQ(clean.hostState, SessionState::Finished);
  ASSERT_EQ(clean.guestState, SessionState::Finished);
  EXPECT_EQ(attacked.hostState, SessionState::Finished);
  EXPECT_EQ(attacked.guestState, SessionState::Finished);
  ASSERT_GE(clean.hostHashes.size(), static_cast<size_t>(Frames));
  EXPECT_TRUE(attacked.hostHashes == clean.hostHashes);
  EXPECT_TRUE(attacked.guestHashes == clean.guestHashes);
  EXPECT_TRUE(clean.hostHashes == clean.guestHashes);
  // The record holds every input that was confirmed: a forged one would show here.
  EXPECT_EQ(attacked.hostRecord, clean.hostRecord);
  EXPECT_EQ(attacked.guestRecord, clean.guestRecord);
  // Exact copies of checkpoints are the only forged datagrams that are not counted as dropped.
  EXPECT_GE(attacked.dropped - clean.dropped, Forged * 9 / 10);
  RecordProperty("dropped_clean", std::to_string(clean.dropped));
  RecordProperty("dropped_attacked", std::to_string(attacked.dropped));
}

}  // namespace
}  // namespace kavarin

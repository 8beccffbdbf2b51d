// The checks on the other player's inputs, straight on the rollback half: two rollbacks play a
// match by handing each other their messages, and now and then the host is offered a copy of the
// guest's latest Inputs bent in one of the ways no honest peer would send. Each bent copy must be
// refused and change nothing; the honest messages that follow are all still taken, and the two
// records come out the same.
#include <gtest/gtest.h>

#include <deque>
#include <random>

#include "match/keys.h"
#include "online/rollback.h"
#include "random_hands.h"

namespace kavarin {
namespace {

struct Half : RollbackOutbox {
  explicit Half(Player p, uint64_t seed) : rollback(p, display, *this), hands(seed) {}
  void Post(MessageBody body) override { sent.push_back(std::move(body)); }
  void FoundApart() override { apart = true; }
  SessionDisplay display;
  Rollback rollback;
  RandomHands hands;
  std::deque<MessageBody> sent;
  bool apart = false;
};

// The ways to bend an honest Inputs message; each makes one of the checks fail.
enum class Bend {
  Replayed,
  AheadOfUs,
  SkipsFrames,
  RunsAway,
  MovesItsEnd,
  EventAfterEnd,
  ForeignKey,
  RewritesAFrame,
  Count
};

bool BendInputs(Bend how, Inputs& in, const Rollback& receiver, std::mt19937_64& rng) {
  switch (how) {
    case Bend::Replayed:
      return true;  // the very message again: its sequence is no longer new
    case Bend::AheadOfUs:
      in.received = static_cast<uint32_t>(receiver.NextFrame() + 40 + rng() % 1000);
      return true;
    case Bend::SkipsFrames:
      in.first = static_cast<uint32_t>(receiver.RemoteKnown() + 2 + rng() % 50);
      return true;
    case Bend::RunsAway:  // bounded only until our own inputs end
      if (receiver.LocalEnded()) return false;
      in.senderFrame = static_cast<uint32_t>(receiver.NextFrame() + 60 + rng() % 1000);
      return true;
    case Bend::MovesItsEnd:
      if (in.endFrame == NoFrame) return false;
      in.endFrame += 1 + static_cast<uint32_t>(rng() % 5);
      return true;
    case Bend::EventAfterEnd: {
      // An end before a frame the host does not know yet, with an event in that frame.
      const int64_t fresh = receiver.RemoteKnown() + 1 - int64_t{in.first};
      if (in.endFrame != NoFrame || fresh < 0 || fresh >= in.count ||
          in.frames[static_cast<size_t>(fresh)].Full())
        return false;
      in.endFrame = in.first + static_cast<uint32_t>(fresh);
      in.frames[static_cast<size_t>(fresh)].Add({EventKind::Start, 0});
      return true;
    }
    case Bend::ForeignKey: {
      // The host's own key, in a frame the host does not know yet: the guest maps every key to
      // its own ship before sending it.
      const int64_t fresh = receiver.RemoteKnown() + 1 - int64_t{in.first};
      if (fresh < 0 || fresh >= in.count || in.frames[static_cast<size_t>(fresh)].Full())
        return false;
      in.frames[static_cast<size_t>(fresh)].Add(
          {EventKind::KeyDown, static_cast<uint16_t>(KeysOf.left.up)});
      return true;
    }
    case Bend::RewritesAFrame: {
      if (in.count == 0 || int64_t{in.first} > receiver.RemoteKnown()) return false;
      FrameInput& f = in.frames[0];
      if (f.Full()) return false;
      f.Add({EventKind::Start, 0});
      return true;
    }
    case Bend::Count:
      break;
  }
  return false;
}

TEST(InputChecks, EveryBentInputsIsRefusedAndChangesNothing) {
  Half host(Player::Host, 11), guest(Player::Guest, 12);
  host.rollback.Begin(2);
  guest.rollback.Begin(2);
  std::mt19937_64 rng(13);
  std::array<int, static_cast<size_t>(Bend::Count)> refused{};
  std::optional<Inputs> lastTaken;
  constexpr int64_t Frames = 3000;
  for (int64_t frame = 0;
       frame < 2 * Frames &&
       !(host.rollback.EndFrame() >= 0 && host.rollback.Settled() >= host.rollback.EndFrame() - 1);
       ++frame) {
    for (Half* s : {&host, &guest}) {
      if (frame == Frames) s->rollback.EndInputs();
      if (frame < Frames)
        for (const InputEvent& e : s->hands.Frame()) s->rollback.Input(e);
      if (s->rollback.MayAdvance(false)) s->rollback.Advance();
      if (s->rollback.InputsDue() || frame >= Frames) s->rollback.SendInputs();
    }
    // Every few frames the host is offered the guest's newest inputs bent every way, before
    // the honest copy, and the last ones it took again.
    const Inputs* pending = nullptr;
    for (const MessageBody& m : guest.sent)
      if (const auto* in = std::get_if<Inputs>(&m)) pending = in;
    if (lastTaken && pending && (frame % 3 == 0 || frame >= Frames)) {
      for (int i = 0; i < static_cast<int>(Bend::Count); ++i) {
        const auto how = static_cast<Bend>(i);
        // The end said once is known to the host only from what it took.
        const bool old = how == Bend::Replayed || how == Bend::MovesItsEnd;
        Inputs bent = old ? *lastTaken : *pending;
        if (how == Bend::MovesItsEnd) bent.sequence = pending->sequence;
        if (!BendInputs(how, bent, host.rollback, rng)) continue;
        const int64_t known = host.rollback.RemoteKnown(), end = host.rollback.EndFrame();
        const std::string record = host.rollback.Record().Script();
        EXPECT_FALSE(host.rollback.TakeInputs(bent, 0, false)) << "bend " << i;
        EXPECT_EQ(host.rollback.RemoteKnown(), known);
        EXPECT_EQ(host.rollback.EndFrame(), end);
        EXPECT_EQ(host.rollback.Record().Script(), record);
        ++refused[static_cast<size_t>(i)];
      }
    }
    // The honest messages, both ways: every Inputs is new, so every one is taken.
    for (auto [from, to] : {std::pair{&guest, &host}, std::pair{&host, &guest}}) {
      for (const MessageBody& m : from->sent) {
        if (const auto* in = std::get_if<Inputs>(&m)) {
          EXPECT_TRUE(to->rollback.TakeInputs(*in, 0, false));
          if (to == &host) lastTaken = *in;
        } else if (const auto* c = std::get_if<Checkpoint>(&m)) {
          EXPECT_TRUE(to->rollback.TakeCheckpoint(*c, true));
        }
      }
      from->sent.clear();
    }
  }
  EXPECT_FALSE(host.apart || guest.apart);
  ASSERT_GE(host.rollback.EndFrame(), Frames);
  EXPECT_EQ(host.rollback.Record().Script(), guest.rollback.Record().Script());
  for (size_t how = 0; how < refused.size(); ++how)
    EXPECT_GT(refused[how], 0) << "bend " << how << " was never tried";
}

}  // namespace
}  // namespace kavarin

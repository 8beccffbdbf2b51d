#include "online/rollback.h"

#include <algorithm>
#include <limits>

#include "online/own_ship_keys.h"

namespace kavarin {

Rollback::Rollback(Player me, SessionDisplay& display, RollbackOutbox& out, int64_t longest)
    : me_(me), display_(display), out_(out), watcher_(display), longest_(longest) {
  localHashFrame_.fill(-1);
  remoteHashFrame_.fill(-1);
}

FrameInput& Rollback::LocalAt(int64_t f) {
  while (localReached_ < f) local_[static_cast<size_t>(++localReached_ % Ring)] = FrameInput{};
  return local_[static_cast<size_t>(f % Ring)];
}

FrameInput Rollback::LocalOrEnded(int64_t f) {
  return (localEnd_ >= 0 && f >= localEnd_) ? FrameInput{} : LocalAt(f);
}

FrameInput Rollback::RemoteOrPredicted(int64_t f) const {
  if (f <= remoteKnown_) return RemoteAt(f);
  return FrameInput{};  // no key event: the thrusts keep what the last events set
}

bool Rollback::PeerHasAll() const {
  // Frame localEnd_ is only ever sent with the end: having it, the other machine knows the end.
  return localEnd_ >= 0 && peerHas_ >= localEnd_;
}

int64_t Rollback::EndFrame() const {
  if (localEnd_ < 0 || remoteEnd_ < 0) return -1;
  return std::min(std::max(localEnd_, remoteEnd_), longest_);
}

int64_t Rollback::FinalLocal() const {
  // Before localOpen_ every frame is final; after the end, every frame is final and empty, the
  // first of them too.
  return localEnd_ >= 0 ? std::max(localOpen_, localEnd_ + 1) : localOpen_;
}

int64_t Rollback::RemoteKnownThrough() const {
  // Once the other player's inputs have ended and all before the end are here, every later frame
  // is known as well: it has no event.
  if (remoteEnd_ >= 0 && remoteKnown_ >= remoteEnd_ - 1)
    return std::numeric_limits<int64_t>::max() / 2;
  return remoteKnown_;
}

bool Rollback::CanFinishAlone() const {
  return localEnd_ >= 0 && remoteEnd_ >= 0 && remoteKnown_ >= remoteEnd_ - 1;
}

bool Rollback::PeerMaySettle(int64_t frame) const {
  // It confirms a frame once it has our inputs for it; after our end it needs none of ours.
  if (localEnd_ < 0) return frame < FinalLocal();
  const int64_t end = EndFrame();
  return end < 0 || frame < end;
}

void Rollback::Begin(int delay) {
  delay_ = delay;
  localOpen_ = delay;
  inputFrame_ = delay;
}

void Rollback::Input(InputEvent event) {
  if (localEnd_ >= 0) return;
  const std::optional<InputEvent> own = ForOwnShip(me_, event);
  if (!own) return;
  int64_t frame = std::max(localOpen_, inputFrame_);
  while (LocalAt(frame).Full() && frame < localOpen_ + MaxCarry) ++frame;
  if (LocalAt(frame).Full() || frame >= longest_) {
    ++counters_.eventsDropped;
    return;
  }
  LocalAt(frame).Add(*own);
  inputFrame_ = frame;
}

void Rollback::EndInputs() {
  if (localEnd_ >= 0) return;
  localEnd_ = std::max(localOpen_, LocalAt(inputFrame_).Empty() ? inputFrame_ : inputFrame_ + 1);
}

bool Rollback::ValidInputs(const Inputs& in) const {
  const int64_t first = in.first;
  const int64_t endFrame = FromWire(in.endFrame);
  // A late or repeated copy: everything in it has come with a later one.
  if (in.sequence <= heardSequence_) return false;
  // It cannot have more of ours than we have sent, nor lack remote frames we do not know we lack.
  if (FromWire(in.received) >= FinalLocal() || first > remoteKnown_ + 1) return false;
  // Until our inputs end it runs at most MaxPredictedFrames past the last of them it has.
  if (localEnd_ < 0 && int64_t{in.senderFrame} > FinalLocal() + MaxPredictedFrames) return false;
  // Where its inputs end is said once and never changes; nothing it did comes after it. At the
  // longest match they end whether it says so or not.
  if (endFrame > longest_) return false;
  if (remoteEnd_ >= 0 && endFrame != remoteEnd_ && !(endFrame < 0 && remoteEnd_ == longest_))
    return false;
  // Its end is at most its input delay and the frames of events carried on past its next frame,
  // which is bounded as above until our inputs end.
  if (remoteEnd_ < 0 && endFrame >= 0 &&
      (endFrame <= lastRemoteEvent_ ||
       (localEnd_ < 0 && endFrame > int64_t{in.senderFrame} + MaxInputDelay + MaxCarry + 1)))
    return false;
  const Player sender = OtherPlayer(me_);
  for (int i = 0; i < in.count; ++i) {
    const int64_t f = first + i;
    const FrameInput& input = in.frames[static_cast<size_t>(i)];
    if (f >= longest_) break;  // no part of the match
    if (endFrame >= 0 && f >= endFrame && !input.Empty()) return false;
    // Each event is one of the sender's own ship's keys, Space or Start, as it maps them.
    for (const InputEvent& e : input.Events())
      if (ForOwnShip(sender, e) != e) return false;
    // A frame sent again is the same frame.
    if (f <= remoteKnown_ && f > remoteKnown_ - Ring && !(RemoteAt(f) == input)) return false;
  }
  return true;
}

bool Rollback::TakeInputs(const Inputs& in, int roundTripMs, bool finished) {
  if (!ValidInputs(in)) return false;
  heardSequence_ = in.sequence;
  const int64_t first = in.first;
  const int64_t now = timeline_.Next();
  peerHas_ = std::max(peerHas_, FromWire(in.received));
  peerNext_ = std::max(peerNext_, int64_t{in.senderFrame});
  if (in.endFrame != NoFrame) remoteEnd_ = in.endFrame;
  sync_.Heard(now, in.senderFrame, in.advantage, roundTripMs);
  if (finished) {
    // Nothing more is needed from it, but it may still need to hear what we have.
    ackDue_ = true;
    return true;
  }
  for (int i = 0; i < in.count; ++i) {
    const int64_t f = first + i;
    if (f >= longest_) break;
    if (f != remoteKnown_ + 1) continue;  // known already
    // Room in the ring: the frames from the oldest still needed on.
    if (f - std::min(settled_ + 1, timeline_.Next() - Timeline::Kept + 1) >= Ring) break;
    const FrameInput& input = in.frames[static_cast<size_t>(i)];
    RemoteAt(f) = input;
    remoteKnown_ = f;
    if (!input.Empty()) lastRemoteEvent_ = f;
    // The prediction was "no events"; a frame already simulated with others is wrong.
    if (f < timeline_.Next() && !input.Empty())
      correctFrom_ = correctFrom_ < 0 ? f : std::min(correctFrom_, f);
  }
  // A player who never ends is ended by the longest match.
  if (remoteEnd_ < 0 && remoteKnown_ >= longest_ - 1) remoteEnd_ = longest_;
  NoteFinal();
  return true;
}

bool Rollback::TakeCheckpoint(const Checkpoint& c, bool playing) {
  const int64_t frame = c.frame;
  if (!PeerMaySettle(frame)) return false;
  // The hash after the last frame, which the other machine repeats until it goes: it may come
  // before this machine knows where the match ends.
  const int64_t end = EndFrame();
  if (frame % CheckpointEvery != CheckpointEvery - 1 || frame == end - 1) {
    if (frame < remoteFinalFrame_) return false;
    if (frame == remoteFinalFrame_) return remoteFinalHash_ == c.hash;
    remoteFinalFrame_ = frame;
    remoteFinalHash_ = c.hash;
    if (playing) CompareFinal();
    if (frame % CheckpointEvery != CheckpointEvery - 1) return true;
  }
  const size_t at = static_cast<size_t>(frame / CheckpointEvery % Checkpoints);
  // An older checkpoint never replaces a newer one; the same one is the same hash.
  if (remoteHashFrame_[at] > frame) return false;
  if (remoteHashFrame_[at] == frame) return remoteHashes_[at] == c.hash;
  remoteHashes_[at] = c.hash;
  remoteHashFrame_[at] = frame;
  if (localHashFrame_[at] == frame && localHashes_[at] != c.hash && playing) out_.FoundApart();
  return true;
}

void Rollback::Simulate(bool newest) {
  const int64_t f = timeline_.Next();
  const FrameInput local = LocalOrEnded(f);
  const FrameInput remote = RemoteOrPredicted(f);
  watcher_.Begin(newest);
  if (me_ == Player::Host)
    timeline_.Advance(local, remote, watcher_);
  else
    timeline_.Advance(remote, local, watcher_);
  // Once the other player has left, the last frames are simulated for the record only.
  if (recordOnly_) return;
  const int64_t oldestOpen = timeline_.Next() - MaxPredictedFrames - 1;
  cues_.Simulated(f, watcher_.Cues(), oldestOpen,
                  [this](std::string_view cue) { display_.CuePlayed(cue); });
}

void Rollback::Advance() {
  Simulate(true);
  localOpen_ = std::max(localOpen_, timeline_.Next() + delay_);
  // Every frame before the longest match's end is final: the local inputs end there.
  if (localEnd_ < 0 && localOpen_ >= longest_) localEnd_ = longest_;
  Settle();
}

void Rollback::Correct() {
  if (correctFrom_ < 0) return;
  const int64_t from = correctFrom_;
  correctFrom_ = -1;
  const int64_t upTo = timeline_.Next();
  if (!timeline_.Keeps(from)) {
    // Cannot happen with an honest peer: such a frame was confirmed already.
    out_.FoundApart();
    return;
  }
  timeline_.Rewind(from);
  while (timeline_.Next() < upTo) Simulate(false);
  ++counters_.rollbacks;
  counters_.framesResimulated += upTo - from;
  display_.PictureReplaced();
}

void Rollback::NoteFinal() {
  const int64_t end = EndFrame();
  if (finalKnown_ || end < 0 || settled_ < end - 1 || !timeline_.Keeps(end)) return;
  finalHash_ = SimulationHash(timeline_.Before(end));
  finalKnown_ = true;
  CompareFinal();
}

void Rollback::CompareFinal() {
  if (!finalKnown_ || finalAgreed_) return;
  const int64_t last = EndFrame() - 1;
  const size_t at = static_cast<size_t>(std::max<int64_t>(last, 0) / CheckpointEvery % Checkpoints);
  uint64_t remote = remoteFinalHash_;
  if (remoteFinalFrame_ != last) {
    // It may have come as a usual checkpoint, before this machine knew it was the last.
    if (remoteHashFrame_[at] != last) return;
    remote = remoteHashes_[at];
  }
  if (remote == finalHash_)
    finalAgreed_ = true;
  else
    out_.FoundApart();
}

void Rollback::Settle() {
  const int64_t upTo = std::min(RemoteKnownThrough(), timeline_.Next() - 1);
  while (settled_ < upTo) {
    const int64_t f = ++settled_;
    const FrameInput local = LocalOrEnded(f);
    const FrameInput remote = RemoteOrPredicted(f);
    if (me_ == Player::Host)
      record_.Add(local, remote);
    else
      record_.Add(remote, local);
    const Simulation& after = timeline_.Before(f + 1);
    if (onSettled) onSettled(f, after);
    if (f % CheckpointEvery == CheckpointEvery - 1) {
      const uint64_t hash = SimulationHash(after);
      const size_t at = static_cast<size_t>(f / CheckpointEvery % Checkpoints);
      localHashes_[at] = hash;
      localHashFrame_[at] = f;
      out_.Post(Checkpoint{ToWire(f), hash});
      if (remoteHashFrame_[at] == f && remoteHashes_[at] != hash) {
        out_.FoundApart();
        return;
      }
    }
  }
  NoteFinal();
}

void Rollback::EndRecordWith(int64_t end) {
  // The frames up to the other's end that this machine has not yet confirmed: their inputs are
  // all here now, unless datagrams were lost on the way.
  Correct();
  while (timeline_.Next() < end && timeline_.Next() <= remoteKnown_ &&
         timeline_.Next() < FinalLocal())
    Simulate(false);
  Settle();
  record_.EndAt(end);
  display_.PictureReplaced();
}

bool Rollback::MayAdvance(bool paced) {
  const int64_t next = timeline_.Next();
  const int64_t end = EndFrame();
  if (end >= 0 && next >= end) return false;
  // Past its own end a machine predicts nothing until it hears where the other's inputs end:
  // only frames the other has sent, which the match reaches, are simulated.
  if (localEnd_ >= 0 && remoteEnd_ < 0 && next >= localEnd_ && next > remoteKnown_) return false;
  if (next - RemoteKnownThrough() > MaxPredictedFrames) return false;
  // Local frames the other machine has not acknowledged must stay in the ring until it has: a
  // machine that plays on alone, once the other's inputs have ended, keeps within reach of it.
  if ((localEnd_ < 0 || peerHas_ + 1 < localEnd_) &&
      next + MaxInputDelay + MaxCarry + 1 - (peerHas_ + 1) >= Ring)
    return false;
  if (paced && sync_.ShouldWait()) return false;
  return true;
}

bool Rollback::InputsDue() {
  // Thirty times a second is enough to keep the other machine's confirmations flowing; a frame
  // with events in it goes at once, to keep the other side's corrections short.
  bool news = false;
  for (int64_t f = sentFinal_; f < FinalLocal() && !news; ++f) news = !LocalAt(f).Empty();
  return news || ++quietTicks_ >= 2;
}

void Rollback::SendInputs() {
  quietTicks_ = 0;
  ackDue_ = false;
  sentFinal_ = FinalLocal();
  Inputs in;
  in.sequence = ++sentSequence_;
  in.received = ToWire(remoteKnown_);
  in.senderFrame = ToWire(timeline_.Next());
  in.advantage = sync_.Advantage();
  in.endFrame = localEnd_ >= 0 ? ToWire(localEnd_) : NoFrame;
  const int64_t first = peerHas_ + 1;
  const int64_t count = std::clamp<int64_t>(FinalLocal() - first, 0, MaxFramesPerDatagram);
  in.first = ToWire(first);
  in.count = static_cast<uint8_t>(count);
  for (int64_t i = 0; i < count; ++i) {
    const int64_t f = first + i;
    if (localEnd_ < 0 || f < localEnd_) in.frames[static_cast<size_t>(i)] = LocalAt(f);
  }
  out_.Post(in);
  // Until the other machine goes, it hears the hash after the last frame with every input sent.
  if (finalKnown_) out_.Post(Checkpoint{ToWire(EndFrame() - 1), finalHash_});
}

}  // namespace kavarin

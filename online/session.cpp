#include "online/session.h"

#include <algorithm>
#include <chrono>
#include <random>

namespace kavarin {

uint64_t FreshSeed() {
  std::random_device device;
  return uint64_t{device()} << 32 | device();
}

int64_t SteadyNowUs() {
  return std::chrono::duration_cast<std::chrono::microseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

Session::Session(Player me, Transport& transport, SessionDisplay& display, SessionOptions options)
    : me_(me),
      options_(options),
      wire_(me, transport, options.seed),
      rollback_(me, display, *this, options.longestFrames) {
  rollback_.onSettled = [this](int64_t frame, const Simulation& after) {
    if (onSettled) onSettled(frame, after);
  };
}

Session::~Session() = default;

Session::Counters Session::Stats() const {
  const PeerWire::Counters& wire = wire_.Stats();
  const Rollback::Counters& rollback = rollback_.Stats();
  return {wire.datagramsSent,         wire.bytesSent,
          wire.datagramsDropped,      rollback.rollbacks,
          rollback.framesResimulated, rollback.eventsDropped};
}

void Session::End(SessionState why) {
  state_ = why;
  wire_.Stop();
}

void Session::Input(InputEvent event) {
  if (state_ == SessionState::Playing) rollback_.Input(event);
}

void Session::OtherLeft() {
  if (state_ != SessionState::Connecting && state_ != SessionState::Syncing &&
      state_ != SessionState::Playing)
    return;
  if (state_ == SessionState::Playing && rollback_.CanFinishAlone())
    peerGone_ = true;
  else
    End(SessionState::PeerLeft);
}

void Session::Leave() {
  if (state_ == SessionState::PeerLeft || state_ == SessionState::PeerLost) return;
  // The record ends with the last confirmed frame. The other machine is sent what it lacks of
  // this player's inputs up to there, so that it can end its record at the same frame.
  const Goodbye goodbye{ToWire(rollback_.Settled() + 1)};
  for (int i = 0; i < StopNotices; ++i) {
    if (state_ == SessionState::Playing || state_ == SessionState::Finished) rollback_.SendInputs();
    wire_.Send(goodbye);
  }
  wire_.Flush();
  End(SessionState::PeerLeft);
}

void Session::FoundApart() {
  if (state_ != SessionState::Playing && state_ != SessionState::Finished) return;
  End(SessionState::Desynced);
  wire_.Notify(Desync{ToWire(rollback_.Settled())}, StopNotices);
}

void Session::Poll(int64_t nowUs) {
  Handle(nowUs);
  // In play, what a frame time sends leaves together at its end, in Advance.
  if (state_ != SessionState::Playing) wire_.Flush();
}

void Session::Handle(int64_t nowUs) {
  nowUs_ = nowUs;
  wire_.Receive(nowUs, *this);
  wire_.SendNotice();
  // A host waits for its guest as long as it takes; after that, silence loses the other machine.
  const bool listening = me_ == Player::Host && state_ == SessionState::Connecting;
  if (!listening && !peerGone_ &&
      (state_ == SessionState::Connecting || state_ == SessionState::Syncing ||
       state_ == SessionState::Playing) &&
      wire_.SilentFor(nowUs) > options_.timeoutUs) {
    End(SessionState::PeerLost);
    return;
  }
  // Pings alone keep nobody in a match: while this side waits on the other, it must see frames
  // confirmed, or the round begun.
  if (progressUs_ < 0 || state_ != progressState_ || rollback_.Settled() != progressSettled_) {
    progressUs_ = nowUs;
    progressState_ = state_;
    progressSettled_ = rollback_.Settled();
  }
  if (!peerGone_ && (state_ == SessionState::Syncing || state_ == SessionState::Playing) &&
      nowUs - progressUs_ > options_.timeoutUs) {
    stalled_ = true;
    End(SessionState::PeerLost);
    return;
  }
  switch (state_) {
    case SessionState::Connecting:
      wire_.Ask(nowUs);
      break;
    case SessionState::Syncing:
      if (wire_.Measure(nowUs)) Begin(wire_.RoundTripMs());
      break;
    case SessionState::Playing:
      rollback_.Correct();
      rollback_.Settle();
      break;
    default:
      break;
  }
}

bool Session::Tick(int64_t nowUs) {
  Poll(nowUs);
  return Advance(nowUs);
}

bool Session::Advance(int64_t nowUs) {
  inputsSent_ = false;
  const bool advanced = Step(nowUs);
  if (inputsSent_ || state_ != SessionState::Playing) wire_.Flush();
  return advanced;
}

bool Session::Step(int64_t nowUs) {
  if (state_ == SessionState::Finished && (!rollback_.PeerHasAll() || rollback_.AckDue()))
    rollback_.SendInputs();
  if (state_ != SessionState::Playing) return false;
  bool advanced = false;
  if (nowUs >= firstFrameUs_ && rollback_.MayAdvance(options_.paced)) {
    rollback_.Advance();
    advanced = true;
  }
  if (state_ != SessionState::Playing) return advanced;
  // A frame time that sends no inputs sends nothing: a hash or a ping waits at most a frame
  // for the next inputs and leaves in their datagram. The ping is made only then, so that its
  // wait does not count in the round trip.
  inputsSent_ = rollback_.InputsDue();
  if (inputsSent_) {
    rollback_.SendInputs();
    wire_.KeepUp(nowUs);
  }
  const int64_t end = rollback_.EndFrame();
  if (end < 0 || rollback_.Settled() < end - 1) return advanced;
  // A match is finished only once both machines found the same state after its last frame. One
  // whose other player has gone without that is over as it left.
  if (rollback_.FinalAgreed() || peerFinished_)
    state_ = SessionState::Finished;
  else if (peerGone_)
    End(SessionState::PeerLeft);
  return advanced;
}

void Session::Begin(int roundTripMs) {
  delay_ = options_.inputDelay >= 0 ? std::clamp(options_.inputDelay, 0, MaxInputDelay)
                                    : InputDelayFor(roundTripMs);
  rollback_.Begin(delay_);
  state_ = SessionState::Playing;
  wire_.Started(nowUs_, roundTripMs);
  // The word to begin goes at once: the guest's first frame waits for it.
  wire_.Flush();
  // The guest hears the word half a round trip from now: both start frame 0 together.
  if (me_ == Player::Host && options_.paced)
    firstFrameUs_ = nowUs_ + std::max(roundTripMs, 0) * 500;
}

void Session::Paired() {
  state_ = SessionState::Syncing;
}

bool Session::BeginHeard(int roundTripMs) {
  if (state_ == SessionState::Syncing) Begin(roundTripMs);
  return true;
}

bool Session::InputsHeard(const Inputs& in) {
  // After the other side has left, its last inputs still complete the record.
  if (state_ != SessionState::Playing && state_ != SessionState::Finished &&
      !(state_ == SessionState::PeerLeft && !goodbyeHeard_))
    return false;
  if (!rollback_.TakeInputs(in, wire_.RoundTripMs(), state_ == SessionState::Finished))
    return false;
  wire_.PeerPlaying();
  return true;
}

bool Session::CheckpointHeard(const Checkpoint& c) {
  return rollback_.TakeCheckpoint(c, state_ == SessionState::Playing);
}

bool Session::DesyncHeard(const Desync& d) {
  if (!rollback_.PeerMaySettle(d.frame)) return false;
  if (state_ == SessionState::Playing || state_ == SessionState::Finished)
    End(SessionState::Desynced);
  return true;
}

bool Session::GoodbyeHeard(const Goodbye& g) {
  if (goodbyeHeard_ || (g.recordEnd > 0 && !rollback_.PeerMaySettle(g.recordEnd - 1))) return false;
  goodbyeHeard_ = true;
  // An honest machine goes whole only once it has compared the last frame's hash with ours.
  const int64_t end = rollback_.EndFrame();
  peerFinished_ = end >= 0 && int64_t{g.recordEnd} == end;
  rollback_.ForRecordOnly();
  OtherLeft();
  // It cannot take back frames it had both players' inputs for: a shorter end it claims is not
  // believed.
  if (state_ == SessionState::PeerLeft)
    rollback_.EndRecordWith(std::max(int64_t{g.recordEnd}, rollback_.PeerSettledAtLeast()));
  return true;
}

}  // namespace kavarin

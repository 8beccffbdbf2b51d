#include "online/session.h"

#include <algorithm>
#include <chrono>
#include <limits>
#include <random>

#include "online/own_ship_keys.h"

namespace kavarin {

namespace {

constexpr int64_t HelloEveryUs = 250'000;
constexpr int64_t SyncPingEveryUs = 20'000;
constexpr int64_t PingEveryUs = 500'000;
constexpr int64_t BeginEveryUs = 100'000;
constexpr int RoundTripsBeforeBegin = 4;
// A confirmed frame's hash is compared every this many frames: three times a second.
constexpr int64_t CheckpointEvery = 20;
// Desync and goodbye notices are sent this many times, for the datagrams that get lost.
constexpr int64_t StopNotices = 5;
// Local events are carried at most this many frames past the frame they were made for.
constexpr int64_t MaxCarry = 24;

uint32_t Wire(int64_t frame) {
  return frame < 0 ? NoFrame : static_cast<uint32_t>(frame);
}
int64_t FromWire(uint32_t frame) {
  return frame == NoFrame ? -1 : int64_t{frame};
}

}  // namespace

uint64_t FreshSeed() {
  std::random_device device;
  return uint64_t{device()} << 32 | device();
}

int64_t SteadyNowUs() {
  return std::chrono::duration_cast<std::chrono::microseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

// Watches each simulated frame: collects its cues, and shows the drawing of new frames.
class Session::FrameWatcher : public Observer {
 public:
  explicit FrameWatcher(SessionDisplay& display) : display_(display) {}

  void Begin(bool show) {
    show_ = show;
    count_ = 0;
  }
  std::span<const std::string_view> Cues() const {
    return {cues_.data(), static_cast<size_t>(count_)};
  }

  void PenColorSet(Color c) override {
    if (show_) display_.PenColorSet(c);
  }
  void PolylineDrawn(Color pen, std::span<const Point> points) override {
    if (show_) display_.PolylineDrawn(pen, points);
  }
  void FieldCleared() override {
    if (show_) display_.FieldCleared();
  }
  void IntervalSet(TimerId timer, int32_t interval) override {
    if (show_) display_.IntervalSet(timer, interval);
  }
  void WindowColorSet(Color c) override {
    if (show_) display_.WindowColorSet(c);
  }
  void ClientSizeSet(int32_t w, int32_t h) override {
    if (show_) display_.ClientSizeSet(w, h);
  }
  void CuePlayed(std::string_view name) override {
    if (count_ < CueLedger::MaxPerFrame) cues_[static_cast<size_t>(count_++)] = name;
  }

 private:
  SessionDisplay& display_;
  bool show_ = false;
  std::array<std::string_view, CueLedger::MaxPerFrame> cues_{};
  int count_ = 0;
};

Session::Session(Player me, Transport& transport, SessionDisplay& display, SessionOptions options)
    : me_(me),
      transport_(transport),
      display_(display),
      options_(options),
      watcher_(std::make_unique<FrameWatcher>(display)) {
  std::mt19937_64 rng(options.seed ^ (me == Player::Host ? 0x486f7374u : 0x47756573u));
  nonce_ = rng() | 1;
  if (me == Player::Host) token_ = rng() | 1;
  localHashFrame_.fill(-1);
  remoteHashFrame_.fill(-1);
  pingsOut_.fill(-1);
}

Session::~Session() = default;

FrameInput& Session::LocalAt(int64_t f) {
  while (localReached_ < f) local_[static_cast<size_t>(++localReached_ % Ring)] = FrameInput{};
  return local_[static_cast<size_t>(f % Ring)];
}

bool Session::PeerHasAll() const {
  // Frame localEnd_ is only ever sent with the end: having it, the other machine knows the end.
  return localEnd_ >= 0 && peerHas_ >= localEnd_;
}

int64_t Session::EndFrame() const {
  if (localEnd_ < 0 || remoteEnd_ < 0) return -1;
  return std::max(localEnd_, remoteEnd_);
}

int64_t Session::FinalLocal() const {
  // Before localOpen_ every frame is final; after the end, every frame is final and empty, the
  // first of them too.
  return localEnd_ >= 0 ? std::max(localOpen_, localEnd_ + 1) : localOpen_;
}

int64_t Session::RemoteKnownThrough() const {
  // Once the other player's inputs have ended and all before the end are here, every later frame
  // is known as well: it has no event.
  if (remoteEnd_ >= 0 && remoteKnown_ >= remoteEnd_ - 1)
    return std::numeric_limits<int64_t>::max() / 2;
  return remoteKnown_;
}

bool Session::CanFinishAlone() const {
  return localEnd_ >= 0 && remoteEnd_ >= 0 && remoteKnown_ >= remoteEnd_ - 1;
}

bool Session::PeerMaySettle(int64_t frame) const {
  // It confirms a frame once it has our inputs for it; after our end it needs none of ours.
  if (localEnd_ < 0) return frame < FinalLocal();
  const int64_t end = EndFrame();
  return end < 0 || frame < end;
}

void Session::Input(InputEvent event) {
  if (state_ != SessionState::Playing || localEnd_ >= 0) return;
  const std::optional<InputEvent> own = ForOwnShip(me_, event);
  if (!own) return;
  // Into the frame open now, after any event already there, and on into the next frames when
  // it is full.
  int64_t frame = std::max(localOpen_, inputFrame_);
  while (LocalAt(frame).Full() && frame < localOpen_ + MaxCarry) ++frame;
  if (LocalAt(frame).Full()) {
    ++counters_.eventsDropped;
    return;
  }
  LocalAt(frame).Add(*own);
  inputFrame_ = frame;
}

void Session::EndInputs() {
  if (localEnd_ >= 0) return;
  // Events already made still get their frames.
  localEnd_ = std::max(localOpen_, LocalAt(inputFrame_).Empty() ? inputFrame_ : inputFrame_ + 1);
}

void Session::OtherLeft() {
  if (state_ != SessionState::Connecting && state_ != SessionState::Syncing &&
      state_ != SessionState::Playing)
    return;
  if (state_ == SessionState::Playing && CanFinishAlone())
    peerGone_ = true;
  else
    state_ = SessionState::PeerLeft;
}

void Session::Leave() {
  if (state_ == SessionState::PeerLeft || state_ == SessionState::PeerLost) return;
  // The record ends with the last confirmed frame. The other machine is sent what it lacks of
  // this player's inputs up to there, so that it can end its record at the same frame.
  const Goodbye goodbye{Wire(settled_ + 1)};
  for (int i = 0; i < StopNotices; ++i) {
    if (state_ == SessionState::Playing || state_ == SessionState::Finished) SendInputs();
    Send(goodbye);
  }
  state_ = SessionState::PeerLeft;
}

void Session::EndRecordWith(int64_t end) {
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

void Session::Stop(SessionState why) {
  state_ = why;
  if (why == SessionState::Desynced) {
    stopNotice_ = Desync{Wire(settled_)};
    stopNoticesLeft_ = StopNotices;
  }
}

void Session::Poll(int64_t nowUs) {
  nowUs_ = nowUs;
  if (lastHeardUs_ < 0) lastHeardUs_ = nowUs;
  Receive(nowUs);
  if (stopNoticesLeft_ > 0) {
    --stopNoticesLeft_;
    Send(stopNotice_);
  }
  // A host waits for its guest as long as it takes; after that, silence loses the other machine.
  const bool listening = me_ == Player::Host && state_ == SessionState::Connecting;
  if (!listening && (state_ == SessionState::Connecting || state_ == SessionState::Syncing ||
                     state_ == SessionState::Playing)) {
    if (!peerGone_ && nowUs - lastHeardUs_ > options_.timeoutUs) {
      state_ = SessionState::PeerLost;
      return;
    }
  }
  switch (state_) {
    case SessionState::Connecting:
      if (me_ == Player::Guest && (lastHelloUs_ < 0 || nowUs - lastHelloUs_ >= HelloEveryUs)) {
        lastHelloUs_ = nowUs;
        Send(Hello{nonce_});
      }
      break;
    case SessionState::Syncing:
      if ((me_ == Player::Guest || peerProven_) &&
          (lastPingUs_ < 0 || nowUs - lastPingUs_ >= SyncPingEveryUs))
        SendPing(nowUs);
      if (me_ == Player::Host && rtt_.Samples() >= RoundTripsBeforeBegin) Begin(rtt_.Ms());
      break;
    case SessionState::Playing:
      Correct();
      Settle();
      if (lastPingUs_ < 0 || nowUs - lastPingUs_ >= PingEveryUs) SendPing(nowUs);
      // Until the guest is heard playing, it may not have had the word to begin.
      if (me_ == Player::Host && !peerPlaying_ && nowUs - lastBeginUs_ >= BeginEveryUs) {
        lastBeginUs_ = nowUs;
        Send(::kavarin::Begin{static_cast<uint16_t>(std::clamp(rtt_.Ms(), 0, 65535))});
      }
      break;
    default:
      break;
  }
}

bool Session::Tick(int64_t nowUs) {
  Poll(nowUs);
  if (state_ == SessionState::Finished && (!PeerHasAll() || ackDue_)) SendInputs();
  if (state_ != SessionState::Playing) return false;
  bool advanced = false;
  if (nowUs >= firstFrameUs_ && MayAdvance()) {
    Simulate(true);
    localOpen_ = std::max(localOpen_, timeline_.Next() + delay_);
    advanced = true;
    Settle();
  }
  if (state_ != SessionState::Playing) return advanced;
  // Thirty times a second is enough to keep the other machine's confirmations flowing; a frame
  // with events in it goes at once, to keep the other side's corrections short.
  bool news = false;
  for (int64_t f = sentFinal_; f < FinalLocal() && !news; ++f) news = !LocalAt(f).Empty();
  if (news || ++quietTicks_ >= 2) SendInputs();
  const int64_t end = EndFrame();
  if (end >= 0 && settled_ >= end - 1) state_ = SessionState::Finished;
  return advanced;
}

void Session::Begin(int roundTripMs) {
  delay_ = options_.inputDelay >= 0 ? std::clamp(options_.inputDelay, 0, MaxInputDelay)
                                    : InputDelayFor(roundTripMs);
  // The first frames of the delay have nobody's events in them.
  localOpen_ = delay_;
  inputFrame_ = delay_;
  state_ = SessionState::Playing;
  if (me_ == Player::Host) {
    lastBeginUs_ = nowUs_;
    Send(::kavarin::Begin{static_cast<uint16_t>(std::clamp(roundTripMs, 0, 65535))});
    // The guest hears it half a round trip from now: both start frame 0 together.
    if (options_.paced) firstFrameUs_ = nowUs_ + std::max(roundTripMs, 0) * 500;
  }
}

void Session::Receive(int64_t nowUs) {
  std::vector<uint8_t> datagram;
  // Bounded, so a flood cannot hold the frame up for ever.
  for (int n = 0; n < 256 && transport_.Receive(datagram); ++n) {
    const std::optional<Message> m = Decode(datagram);
    const bool handshake =
        m && (std::holds_alternative<Hello>(m->body) || std::holds_alternative<Welcome>(m->body));
    if (!m || (!handshake && (token_ == 0 || m->token != token_)) || !Handle(*m, nowUs)) {
      ++counters_.datagramsDropped;
      continue;
    }
    lastHeardUs_ = nowUs;
    if (!handshake) peerProven_ = true;
  }
}

bool Session::Handle(const Message& m, int64_t nowUs) {
  if (const auto* hello = std::get_if<Hello>(&m.body)) {
    // The host pairs with the first guest that asks, and answers its repeats the same way.
    if (me_ != Player::Host || m.token != 0) return false;
    if (state_ == SessionState::Connecting) {
      nonce_ = hello->nonce;
      state_ = SessionState::Syncing;
    } else if (state_ != SessionState::Syncing || hello->nonce != nonce_) {
      return false;
    }
    Send(Welcome{nonce_});
    return true;
  }
  if (const auto* welcome = std::get_if<Welcome>(&m.body)) {
    if (me_ != Player::Guest || state_ != SessionState::Connecting || welcome->nonce != nonce_ ||
        m.token == 0)
      return false;
    token_ = m.token;
    state_ = SessionState::Syncing;
    return true;
  }
  if (const auto* begin = std::get_if<::kavarin::Begin>(&m.body)) {
    if (me_ != Player::Guest) return false;
    // The host repeats it until it hears the guest playing.
    if (state_ == SessionState::Syncing) Begin(begin->roundTripMs);
    return true;
  }
  if (const auto* inputs = std::get_if<Inputs>(&m.body)) {
    // After the other side has left, its last inputs still complete the record.
    if (state_ != SessionState::Playing && state_ != SessionState::Finished &&
        !(state_ == SessionState::PeerLeft && !goodbyeHeard_))
      return false;
    return HandleInputs(*inputs);
  }
  if (const auto* ping = std::get_if<Ping>(&m.body)) return HandlePing(*ping);
  if (const auto* pong = std::get_if<Pong>(&m.body)) return HandlePong(*pong, nowUs);
  if (const auto* checkpoint = std::get_if<Checkpoint>(&m.body))
    return HandleCheckpoint(*checkpoint);
  if (const auto* desync = std::get_if<Desync>(&m.body)) {
    if (!PeerMaySettle(desync->frame)) return false;
    if (state_ == SessionState::Playing) state_ = SessionState::Desynced;
    return true;
  }
  const Goodbye& goodbye = std::get<Goodbye>(m.body);
  if (goodbyeHeard_ || (goodbye.recordEnd > 0 && !PeerMaySettle(goodbye.recordEnd - 1)))
    return false;
  goodbyeHeard_ = true;
  OtherLeft();
  if (state_ == SessionState::PeerLeft) EndRecordWith(goodbye.recordEnd);
  return true;
}

bool Session::HandlePing(const Ping& p) {
  // A copy of an earlier ping, or one overtaken by a later one, gets no answer.
  if (pingHeard_ && static_cast<int32_t>(p.timeMs - lastPingHeardMs_) <= 0) return false;
  pingHeard_ = true;
  lastPingHeardMs_ = p.timeMs;
  Send(Pong{p.timeMs});
  return true;
}

bool Session::HandlePong(const Pong& p, int64_t nowUs) {
  const auto out = std::find(pingsOut_.begin(), pingsOut_.end(), int64_t{p.timeMs});
  if (out == pingsOut_.end()) return false;
  *out = -1;
  const int64_t now = static_cast<uint32_t>(nowUs / 1000);
  const int64_t trip = (now - p.timeMs) & 0xFFFFFFFF;
  if (trip < 60'000) rtt_.Sample(trip * 1000);
  return true;
}

void Session::SendPing(int64_t nowUs) {
  lastPingUs_ = nowUs;
  const uint32_t ms = static_cast<uint32_t>(nowUs / 1000);
  pingsOut_[pingsSent_++ % pingsOut_.size()] = ms;
  Send(Ping{ms});
}

bool Session::ValidInputs(const Inputs& in) const {
  const int64_t first = in.first;
  const int64_t endFrame = FromWire(in.endFrame);
  // A late or repeated copy: everything in it has come with a later one.
  if (in.sequence <= heardSequence_) return false;
  // It cannot have more of ours than we have sent, nor lack remote frames we do not know we lack.
  if (FromWire(in.received) >= FinalLocal() || first > remoteKnown_ + 1) return false;
  // Until our inputs end it runs at most MaxPredictedFrames past the last of them it has.
  if (localEnd_ < 0 && int64_t{in.senderFrame} > FinalLocal() + MaxPredictedFrames) return false;
  // Where its inputs end is said once and never changes; nothing it did comes after it.
  if (remoteEnd_ >= 0 && endFrame != remoteEnd_) return false;
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
    if (endFrame >= 0 && f >= endFrame && !input.Empty()) return false;
    // Each event is one of the sender's own ship's keys, Space or Start, as it maps them.
    for (const InputEvent& e : input.Events())
      if (ForOwnShip(sender, e) != e) return false;
    // A frame sent again is the same frame.
    if (f <= remoteKnown_ && f > remoteKnown_ - Ring && !(RemoteAt(f) == input)) return false;
  }
  return true;
}

bool Session::HandleInputs(const Inputs& in) {
  if (!ValidInputs(in)) return false;
  heardSequence_ = in.sequence;
  const int64_t first = in.first;
  const int64_t now = timeline_.Next();
  peerPlaying_ = true;
  peerHas_ = std::max(peerHas_, FromWire(in.received));
  if (in.endFrame != NoFrame) remoteEnd_ = in.endFrame;
  sync_.Heard(now, in.senderFrame, in.advantage, rtt_.Ms());
  if (state_ == SessionState::Finished) {
    // Nothing more is needed from it, but it may still need to hear what we have.
    ackDue_ = true;
    return true;
  }
  for (int i = 0; i < in.count; ++i) {
    const int64_t f = first + i;
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
  return true;
}

bool Session::HandleCheckpoint(const Checkpoint& c) {
  const int64_t frame = c.frame;
  if (frame % CheckpointEvery != CheckpointEvery - 1 || !PeerMaySettle(frame)) return false;
  const size_t at = static_cast<size_t>(frame / CheckpointEvery % Checkpoints);
  // An older checkpoint never replaces a newer one; the same one is the same hash.
  if (remoteHashFrame_[at] > frame) return false;
  if (remoteHashFrame_[at] == frame) return remoteHashes_[at] == c.hash;
  remoteHashes_[at] = c.hash;
  remoteHashFrame_[at] = frame;
  if (localHashFrame_[at] == frame && localHashes_[at] != c.hash && state_ == SessionState::Playing)
    Stop(SessionState::Desynced);
  return true;
}

FrameInput Session::RemoteOrPredicted(int64_t f) {
  if (f <= remoteKnown_) return RemoteAt(f);
  return FrameInput{};  // no key event: the thrusts keep what the last events set
}

void Session::Simulate(bool newest) {
  const int64_t f = timeline_.Next();
  const FrameInput local = (localEnd_ >= 0 && f >= localEnd_) ? FrameInput{} : LocalAt(f);
  const FrameInput remote = RemoteOrPredicted(f);
  watcher_->Begin(newest);
  if (me_ == Player::Host)
    timeline_.Advance(local, remote, *watcher_);
  else
    timeline_.Advance(remote, local, *watcher_);
  // Once the other player has left, the last frames are simulated for the record only.
  if (goodbyeHeard_) return;
  const int64_t oldestOpen = timeline_.Next() - MaxPredictedFrames - 1;
  cues_.Simulated(f, watcher_->Cues(), oldestOpen,
                  [this](std::string_view cue) { display_.CuePlayed(cue); });
}

void Session::Correct() {
  if (correctFrom_ < 0) return;
  const int64_t from = correctFrom_;
  correctFrom_ = -1;
  const int64_t upTo = timeline_.Next();
  if (!timeline_.Keeps(from)) {
    // Cannot happen with an honest peer: such a frame was confirmed already.
    Stop(SessionState::Desynced);
    return;
  }
  timeline_.Rewind(from);
  while (timeline_.Next() < upTo) Simulate(false);
  ++counters_.rollbacks;
  counters_.framesResimulated += upTo - from;
  display_.PictureReplaced();
}

void Session::Settle() {
  const int64_t upTo = std::min(RemoteKnownThrough(), timeline_.Next() - 1);
  while (settled_ < upTo) {
    const int64_t f = ++settled_;
    const FrameInput local = (localEnd_ >= 0 && f >= localEnd_) ? FrameInput{} : LocalAt(f);
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
      SendCheckpoint(f, hash);
      if (remoteHashFrame_[at] == f && remoteHashes_[at] != hash) {
        Stop(SessionState::Desynced);
        return;
      }
    }
  }
}

bool Session::MayAdvance() {
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
  if (options_.paced && sync_.ShouldWait()) return false;
  return true;
}

void Session::SendInputs() {
  quietTicks_ = 0;
  ackDue_ = false;
  sentFinal_ = FinalLocal();
  Inputs in;
  in.sequence = ++sentSequence_;
  in.received = Wire(remoteKnown_);
  in.senderFrame = Wire(timeline_.Next());
  in.advantage = sync_.Advantage();
  in.endFrame = localEnd_ >= 0 ? Wire(localEnd_) : NoFrame;
  const int64_t first = peerHas_ + 1;
  const int64_t count = std::clamp<int64_t>(FinalLocal() - first, 0, MaxFramesPerDatagram);
  in.first = Wire(first);
  in.count = static_cast<uint8_t>(count);
  for (int64_t i = 0; i < count; ++i) {
    const int64_t f = first + i;
    if (localEnd_ < 0 || f < localEnd_) in.frames[static_cast<size_t>(i)] = LocalAt(f);
  }
  Send(in);
}

void Session::SendCheckpoint(int64_t frame, uint64_t hash) {
  Send(Checkpoint{Wire(frame), hash});
}

void Session::Send(MessageBody body) {
  const uint64_t token = std::holds_alternative<Hello>(body) ? 0 : token_;
  const std::vector<uint8_t> bytes = Encode(Message{token, std::move(body)});
  ++counters_.datagramsSent;
  counters_.bytesSent += static_cast<int64_t>(bytes.size());
  transport_.Send(bytes);
}

}  // namespace kavarin

#include "online/peer_wire.h"

#include <algorithm>
#include <random>

namespace kavarin {

namespace {

constexpr int64_t HelloEveryUs = 250'000;
constexpr int64_t SyncPingEveryUs = 20'000;
constexpr int64_t PingEveryUs = 500'000;
constexpr int64_t BeginEveryUs = 100'000;
constexpr int RoundTripsBeforeBegin = 4;
// Datagrams read per Receive.
constexpr int MaxPerReceive = 256;

::kavarin::Begin BeginFor(int roundTripMs) {
  return {static_cast<uint16_t>(std::clamp(roundTripMs, 0, 65535))};
}

// Calls the first of `fs` that takes the argument.
template <class... F>
struct Overloaded : F... {
  using F::operator()...;
};
template <class... F>
Overloaded(F...) -> Overloaded<F...>;

}  // namespace

PeerWire::PeerWire(Player me, Transport& link, uint64_t seed) : me_(me), link_(link) {
  std::mt19937_64 rng(seed ^ (me == Player::Host ? 0x486f7374u : 0x47756573u));
  nonce_ = rng() | 1;
  if (me == Player::Host) token_ = rng() | 1;
  pingsOut_.fill(-1);
}

void PeerWire::Receive(int64_t nowUs, WireEvents& events) {
  if (lastHeardUs_ < 0) lastHeardUs_ = nowUs;
  std::vector<uint8_t> datagram;
  for (int n = 0; n < MaxPerReceive && link_.Receive(datagram); ++n) {
    const std::optional<Message> m = Decode(datagram);
    const bool handshake =
        m && (std::holds_alternative<Hello>(m->body) || std::holds_alternative<Welcome>(m->body));
    if (!m || (!handshake && (token_ == 0 || m->token != token_))) {
      ++counters_.datagramsDropped;
      continue;
    }
    const bool taken = std::visit(
        Overloaded{
            [&](const Hello& hello) { return On(hello, *m, events); },
            [&](const Welcome& welcome) { return On(welcome, *m, events); },
            // The host repeats it until it hears the guest playing.
            [&](const ::kavarin::Begin& begin) {
              return me_ == Player::Guest && events.BeginHeard(begin.roundTripMs);
            },
            [&](const Inputs& inputs) { return events.InputsHeard(inputs); },
            [&](const Ping& ping) { return On(ping, nowUs); },
            [&](const Pong& pong) { return On(pong, nowUs); },
            [&](const Checkpoint& checkpoint) { return events.CheckpointHeard(checkpoint); },
            [&](const Desync& desync) { return events.DesyncHeard(desync); },
            [&](const Goodbye& goodbye) { return events.GoodbyeHeard(goodbye); },
        },
        m->body);
    if (!taken) {
      ++counters_.datagramsDropped;
      continue;
    }
    lastHeardUs_ = nowUs;
    if (!handshake) peerProven_ = true;
  }
}

bool PeerWire::On(const Hello& hello, const Message& m, WireEvents& events) {
  // The host pairs with the first guest that asks, and answers its repeats the same way.
  if (me_ != Player::Host || m.token != 0) return false;
  if (phase_ == Phase::Connecting) {
    nonce_ = hello.nonce;
    phase_ = Phase::Syncing;
    events.Paired();
  } else if (phase_ != Phase::Syncing || hello.nonce != nonce_) {
    return false;
  }
  Send(Welcome{nonce_});
  return true;
}

bool PeerWire::On(const Welcome& welcome, const Message& m, WireEvents& events) {
  if (me_ != Player::Guest || phase_ != Phase::Connecting || welcome.nonce != nonce_ ||
      m.token == 0)
    return false;
  token_ = m.token;
  phase_ = Phase::Syncing;
  events.Paired();
  return true;
}

bool PeerWire::On(const Ping& p, int64_t nowUs) {
  // A copy of an earlier ping, or one overtaken by a later one, gets no answer.
  if (pingHeard_ && static_cast<int32_t>(p.timeMs - lastPingHeardMs_) <= 0) return false;
  pingHeard_ = true;
  lastPingHeardMs_ = p.timeMs;
  // In play the answer rides with the next inputs and says how long it waited; before, the
  // handshake waits on the round trip, so it goes at once.
  pongDue_ = true;
  pongHeardUs_ = nowUs;
  if (phase_ != Phase::Running) {
    SendPong(nowUs);
    Flush();
  }
  return true;
}

void PeerWire::SendPong(int64_t nowUs) {
  if (!pongDue_) return;
  pongDue_ = false;
  const int64_t held = std::clamp<int64_t>((nowUs - pongHeardUs_) / 100, 0, 65535);
  Send(Pong{lastPingHeardMs_, static_cast<uint16_t>(held)});
}

bool PeerWire::On(const Pong& p, int64_t nowUs) {
  const auto out = std::find(pingsOut_.begin(), pingsOut_.end(), int64_t{p.timeMs});
  if (out == pingsOut_.end()) return false;
  *out = -1;
  const int64_t now = static_cast<uint32_t>(nowUs / 1000);
  const int64_t trip = (now - p.timeMs) & 0xFFFFFFFF;
  if (trip < 60'000) rtt_.Sample(std::max<int64_t>(0, trip * 1000 - int64_t{p.heldTenthsMs} * 100));
  return true;
}

void PeerWire::SendPing(int64_t nowUs) {
  lastPingUs_ = nowUs;
  const uint32_t ms = static_cast<uint32_t>(nowUs / 1000);
  pingsOut_[pingsSent_++ % pingsOut_.size()] = ms;
  Send(Ping{ms});
}

void PeerWire::Ask(int64_t nowUs) {
  if (me_ == Player::Guest && (lastHelloUs_ < 0 || nowUs - lastHelloUs_ >= HelloEveryUs)) {
    lastHelloUs_ = nowUs;
    Send(Hello{nonce_});
  }
}

bool PeerWire::Measure(int64_t nowUs) {
  if ((me_ == Player::Guest || peerProven_) &&
      (lastPingUs_ < 0 || nowUs - lastPingUs_ >= SyncPingEveryUs))
    SendPing(nowUs);
  return me_ == Player::Host && rtt_.Samples() >= RoundTripsBeforeBegin;
}

void PeerWire::Started(int64_t nowUs, int roundTripMs) {
  phase_ = Phase::Running;
  if (me_ != Player::Host) return;
  lastBeginUs_ = nowUs;
  Send(BeginFor(roundTripMs));
}

void PeerWire::KeepUp(int64_t nowUs) {
  SendPong(nowUs);
  if (lastPingUs_ < 0 || nowUs - lastPingUs_ >= PingEveryUs) SendPing(nowUs);
  // Until the guest is heard playing, it may not have had the word to begin.
  if (me_ == Player::Host && !peerPlaying_ && nowUs - lastBeginUs_ >= BeginEveryUs) {
    lastBeginUs_ = nowUs;
    Send(BeginFor(rtt_.Ms()));
  }
}

void PeerWire::Notify(MessageBody notice, int times) {
  notice_ = std::move(notice);
  noticesLeft_ = times;
}

void PeerWire::SendNotice() {
  if (noticesLeft_ <= 0) return;
  --noticesLeft_;
  Send(notice_);
}

void PeerWire::Send(MessageBody body) {
  const uint64_t token = std::holds_alternative<Hello>(body) ? 0 : token_;
  std::vector<uint8_t> bytes = Encode(Message{token, std::move(body)});
  ++counters_.datagramsSent;
  counters_.bytesSent += static_cast<int64_t>(bytes.size());
  queued_.push_back(std::move(bytes));
  if (queued_.size() > MaxQueued) Flush();
}

void PeerWire::Flush() {
  for (const std::vector<uint8_t>& bytes : queued_) link_.Send(bytes);
  queued_.clear();
}

}  // namespace kavarin

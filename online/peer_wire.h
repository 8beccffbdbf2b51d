#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "online/input_event.h"
#include "online/protocol.h"
#include "online/time_sync.h"
#include "online/transport.h"

namespace kavarin {

// What the wire hands on to its session, message by message. Each returns false, and changes
// nothing, for a message no honest peer would send now.
class WireEvents {
 public:
  virtual ~WireEvents() = default;
  // The two machines are paired: the round trip is measured next.
  virtual void Paired() = 0;
  // The host's word that frame 0 starts (guest only).
  virtual bool BeginHeard(int roundTripMs) = 0;
  virtual bool InputsHeard(const Inputs& in) = 0;
  virtual bool CheckpointHeard(const Checkpoint& c) = 0;
  virtual bool DesyncHeard(const Desync& d) = 0;
  virtual bool GoodbyeHeard(const Goodbye& g) = 0;
};

// The wire half of one player's side of an online match: the protocol with the one other
// machine over a link. It pairs the two (the guest's Hello with its nonce, the host's Welcome
// with the session token), measures the round trip with pings before and during play, repeats
// the host's word to begin until the guest is heard playing, sends stop notices more than once,
// and keeps the time the other machine was last heard. Everything it receives is decoded and
// checked against the token; what the session must judge goes to its WireEvents.
class PeerWire {
 public:
  enum class Phase {
    Connecting,  // the guest asks, the host waits to be asked
    Syncing,     // measuring the round trip before frame 0
    Running,     // frame 0 has begun
    Stopped,     // the session is over: no more handshakes
  };

  PeerWire(Player me, Transport& link, uint64_t seed);

  // Reads what has arrived (a bounded number, so that a flood cannot hold the frame up for ever)
  // and hands each message that is for this session on.
  void Receive(int64_t nowUs, WireEvents& events);
  // Queued for the next Flush, so that what one frame sends leaves in one datagram on the
  // wire: the link puts everything it is handed between two services into one. Before play a
  // pong goes at once, as every queued message with it; in play it waits for the inputs.
  void Send(MessageBody body);
  void Flush();

  // Connecting: the guest asks again now and then.
  void Ask(int64_t nowUs);
  // Syncing: pings quickly; true when the host has measured enough to begin.
  bool Measure(int64_t nowUs);
  // Frame 0 begins: the host tells the guest.
  void Started(int64_t nowUs, int roundTripMs);
  // Running, with the inputs: a ping now and then, the answer to the last one heard, and the
  // host's word to begin until the guest plays.
  void KeepUp(int64_t nowUs);
  // The other machine sent inputs that were taken: it is playing.
  void PeerPlaying() { peerPlaying_ = true; }
  void Stop() { phase_ = Phase::Stopped; }
  // `notice` goes out now and then once per call of SendNotice, `times` times in all, for the
  // datagrams that get lost.
  void Notify(MessageBody notice, int times);
  void SendNotice();

  Phase State() const { return phase_; }
  // How long since the other machine was last heard (since the first Receive, before that).
  int64_t SilentFor(int64_t nowUs) const { return lastHeardUs_ < 0 ? 0 : nowUs - lastHeardUs_; }
  // The smoothed round trip in milliseconds, or -1 before it is measured.
  int RoundTripMs() const { return rtt_.Ms(); }

  struct Counters {
    int64_t datagramsSent = 0;
    int64_t bytesSent = 0;
    int64_t datagramsDropped = 0;  // arrived but malformed, from a stranger or out of place
  };
  const Counters& Stats() const { return counters_; }

 private:
  // Each returns false for a message no honest peer would send now.
  bool On(const Hello& hello, const Message& m, WireEvents& events);
  bool On(const Welcome& welcome, const Message& m, WireEvents& events);
  bool On(const Ping& ping, int64_t nowUs);
  bool On(const Pong& pong, int64_t nowUs);
  void SendPing(int64_t nowUs);
  // Answers the last ping heard, if not yet answered.
  void SendPong(int64_t nowUs);

  Player me_;
  Transport& link_;
  Phase phase_ = Phase::Connecting;
  uint64_t token_ = 0;
  uint64_t nonce_ = 0;
  RoundTrip rtt_;
  // The times of the pings not yet answered, -1 where answered: each pong counts once.
  std::array<int64_t, 16> pingsOut_{};
  size_t pingsSent_ = 0;
  bool pingHeard_ = false;
  uint32_t lastPingHeardMs_ = 0;
  bool pongDue_ = false;
  int64_t pongHeardUs_ = -1;
  int64_t lastHeardUs_ = -1;
  int64_t lastHelloUs_ = -1;
  int64_t lastPingUs_ = -1;
  int64_t lastBeginUs_ = -1;
  bool peerPlaying_ = false;
  // The guest has sent something with the token: it is where it says it is. Until then the host
  // sends nothing unasked, so a forged Hello gets one smaller Welcome and no more.
  bool peerProven_ = false;
  // Queued by Send; more than this is flushed at once, whoever forgot to.
  static constexpr size_t MaxQueued = 16;
  std::vector<std::vector<uint8_t>> queued_;
  MessageBody notice_;
  int noticesLeft_ = 0;
  Counters counters_;
};

}  // namespace kavarin

#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>

#include "match/observer.h"
#include "match/simulation.h"
#include "online/cue_ledger.h"
#include "online/input_event.h"
#include "online/match_record.h"
#include "online/protocol.h"
#include "online/time_sync.h"
#include "online/timeline.h"
#include "online/transport.h"

namespace kavarin {

// What the platform is shown of an online match: the drawing calls of each newly simulated frame,
// each cue once, and word when a correction has replaced the picture as a whole.
class SessionDisplay : public Observer {
 public:
  virtual void PictureReplaced() {}
};

enum class SessionState {
  Connecting,  // the guest asks, the host waits to be asked
  Syncing,     // measuring the round trip before frame 0
  Playing,
  Finished,  // both players' inputs ended and every frame up to the end is confirmed
  Desynced,  // the two simulations were found apart; nothing more is simulated
  PeerLeft,  // the other player said goodbye
  PeerLost,  // nothing from the other machine for too long
};

struct SessionOptions {
  // Keep the two frame clocks within about a frame of each other by waiting now and then. A peer
  // that runs as fast as it can (a scripted one) turns it off.
  bool paced = true;
  // The input delay, 0 to 3 frames; by default chosen from the measured round trip.
  int inputDelay = -1;
  // Nothing from the other machine for this long loses it.
  int64_t timeoutUs = 5'000'000;
  // Seeds the session token and the handshake's nonce.
  uint64_t seed = 0;
};

// A seed for a session's token and nonce that nobody can guess: from the system's random source.
uint64_t FreshSeed();
// Now on a steady clock, in microseconds: the time a session's Tick and Poll are given.
int64_t SteadyNowUs();

// One player's side of an online match: rollback networking over a Transport. Both machines run
// the same frames; each shows its own player's inputs at once and predicts that the other player
// made no key event, and when the other's real inputs arrive and differ, it goes back to that
// frame and simulates forward again before the next frame is shown. It never runs more than
// MaxPredictedFrames ahead of the last frame both players' inputs are known for.
class Session {
 public:
  Session(Player me, Transport& transport, SessionDisplay& display, SessionOptions options = {});
  ~Session();

  // The local player pressed or released a key, or chose Start. Keys are mapped to the player's
  // own ship; keys the game does not use are dropped.
  void Input(InputEvent event);
  // The local player's inputs end here: from now on this player makes no event. The match ends
  // once both players' have ended and every frame before the later end is confirmed.
  void EndInputs();
  // Tells the other machine that this player has left.
  void Leave();
  // The other machine is gone: it said goodbye, or the link to it closed. A match whose outcome
  // no longer needs it (both players' inputs have ended, and all of the other's are here) is
  // still played to its end; otherwise the session stops with PeerLeft.
  void OtherLeft();

  // One frame time of the platform (now on a steady clock): handles what has arrived, corrects
  // the past if it must, and simulates the next frame if it may. Returns whether a new frame was
  // simulated; false means the picture waits.
  bool Tick(int64_t nowUs);
  // Handles what has arrived, and corrects the past, without simulating a new frame.
  void Poll(int64_t nowUs);

  SessionState State() const { return state_; }
  Player Me() const { return me_; }
  // The newest simulated state: the picture shown.
  const Simulation& Shown() const { return timeline_.Current(); }
  // The frame simulated next.
  int64_t NextFrame() const { return timeline_.Next(); }
  // Every frame up to this one is confirmed: simulated with both players' real inputs.
  int64_t Settled() const { return settled_; }
  // The state after the last settled frame.
  const Simulation& SettledState() const { return timeline_.Before(settled_ + 1); }
  // The frame both players' inputs end before, once both have ended; -1 until then.
  int64_t EndFrame() const;
  const MatchRecord& Record() const { return record_; }
  int InputDelay() const { return delay_; }
  // Whether the other machine has every local input and knows where they end: it can play the
  // match to its end without us, and a finished session can go.
  bool PeerHasAll() const;
  // The smoothed round trip in milliseconds, or -1 before it is measured.
  int RoundTripMs() const { return rtt_.Ms(); }

  // Called for every frame as it is confirmed, with the state after it.
  std::function<void(int64_t frame, const Simulation& after)> onSettled;

  struct Counters {
    int64_t datagramsSent = 0;
    int64_t bytesSent = 0;
    int64_t datagramsDropped = 0;  // arrived but malformed, from a stranger or out of place
    int64_t rollbacks = 0;
    int64_t framesResimulated = 0;
    int64_t eventsDropped = 0;  // more events than a frame and its next ones can hold
  };
  const Counters& Stats() const { return counters_; }

 private:
  class FrameWatcher;
  static constexpr int64_t Ring = 128;  // frames of inputs kept, either player

  // Local frames before this one will not change: they are sent.
  int64_t FinalLocal() const;
  // Every remote frame up to this one is known.
  int64_t RemoteKnownThrough() const;
  bool CanFinishAlone() const;
  // Whether the other machine can have confirmed this frame by now.
  bool PeerMaySettle(int64_t frame) const;
  void Receive(int64_t nowUs);
  // Each returns false, and changes nothing, for a message no honest peer would send now.
  bool Handle(const Message& m, int64_t nowUs);
  bool HandleInputs(const Inputs& in);
  bool ValidInputs(const Inputs& in) const;
  bool HandleCheckpoint(const Checkpoint& c);
  bool HandlePing(const Ping& p);
  bool HandlePong(const Pong& p, int64_t nowUs);
  void SendPing(int64_t nowUs);
  void Begin(int roundTripMs);
  void Correct();
  // The other machine left with its record ending before `end`: this one ends there too.
  void EndRecordWith(int64_t end);
  void Settle();
  void Simulate(bool newest);
  bool MayAdvance();
  void SendInputs();
  void SendCheckpoint(int64_t frame, uint64_t hash);
  void Send(MessageBody body);
  void Stop(SessionState why);

  // The local player's input for a frame, its slot emptied when it is first reached.
  FrameInput& LocalAt(int64_t f);
  FrameInput& RemoteAt(int64_t f) { return remote_[static_cast<size_t>(f % Ring)]; }
  const FrameInput& RemoteAt(int64_t f) const { return remote_[static_cast<size_t>(f % Ring)]; }
  // The remote player's input for a frame: the real one when known, else the prediction.
  FrameInput RemoteOrPredicted(int64_t f);

  Player me_;
  Transport& transport_;
  SessionDisplay& display_;
  SessionOptions options_;
  SessionState state_ = SessionState::Connecting;
  uint64_t token_ = 0;
  uint64_t nonce_ = 0;
  std::unique_ptr<FrameWatcher> watcher_;

  Timeline timeline_;
  CueLedger cues_;
  MatchRecord record_;
  RoundTrip rtt_;
  FrameClockSync sync_;
  int delay_ = 0;

  std::array<FrameInput, Ring> local_{};
  std::array<FrameInput, Ring> remote_{};
  int64_t localOpen_ = 0;      // the first local frame still taking events
  int64_t inputFrame_ = 0;     // where the last local event went
  int64_t localReached_ = -1;  // local slots are emptied for use up to this frame
  int64_t localEnd_ = -1;      // local inputs end before this frame, once ended
  int64_t sentFinal_ = 0;      // the final local frames when inputs were last sent
  int quietTicks_ = 0;         // frame times since inputs were last sent
  int64_t remoteEnd_ = -1;
  int64_t remoteKnown_ = -1;  // every remote frame up to this one is known
  int64_t peerHas_ = -1;      // the other machine has every local frame up to this one
  int64_t settled_ = -1;
  int64_t correctFrom_ = -1;      // the earliest frame simulated with a wrong prediction, or -1
  int64_t lastRemoteEvent_ = -1;  // the last remote frame known to hold an event
  uint32_t sentSequence_ = 0;     // of the local Inputs messages
  uint32_t heardSequence_ = 0;    // of the newest remote Inputs message handled

  static constexpr size_t Checkpoints = 64;  // kept by checkpoint number % Checkpoints
  std::array<uint64_t, Checkpoints> localHashes_{};
  std::array<uint64_t, Checkpoints> remoteHashes_{};
  std::array<int64_t, Checkpoints> localHashFrame_{};
  std::array<int64_t, Checkpoints> remoteHashFrame_{};

  // The times of the pings not yet answered, -1 where answered: each pong counts once.
  std::array<int64_t, 16> pingsOut_{};
  size_t pingsSent_ = 0;
  bool pingHeard_ = false;
  uint32_t lastPingHeardMs_ = 0;

  int64_t nowUs_ = 0;
  int64_t lastHeardUs_ = -1;
  int64_t lastHelloUs_ = -1;
  int64_t lastPingUs_ = -1;
  int64_t lastBeginUs_ = -1;
  int64_t firstFrameUs_ = 0;  // the host starts half a round trip after its word to begin
  int64_t stopNoticesLeft_ = 0;
  MessageBody stopNotice_;
  bool peerPlaying_ = false;
  // The guest has sent something with the token: it is where it says it is. Until then the host
  // sends nothing unasked, so a forged Hello gets one smaller Welcome and no more.
  bool peerProven_ = false;
  bool peerGone_ = false;
  bool goodbyeHeard_ = false;  // the other machine left once it was no longer needed
  bool ackDue_ = false;        // finished, but the other machine wants to hear what we have
  Counters counters_;
};

}  // namespace kavarin

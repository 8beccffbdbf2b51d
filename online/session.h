#pragma once

#include <cstdint>
#include <functional>

#include "match/simulation.h"
#include "online/input_event.h"
#include "online/match_record.h"
#include "online/peer_wire.h"
#include "online/rollback.h"
#include "online/session_display.h"
#include "online/transport.h"

namespace kavarin {

enum class SessionState {
  Connecting,  // the guest asks, the host waits to be asked
  Syncing,     // measuring the round trip before frame 0
  Playing,
  Finished,  // both players' inputs ended and every frame up to the end is confirmed
  Desynced,  // the two simulations were found apart; nothing more is simulated
  PeerLeft,  // the other player said goodbye
  PeerLost,  // nothing from the other machine for too long, or no new frame confirmed
};

struct SessionOptions {
  // Keep the two frame clocks within about a frame of each other by waiting now and then. A peer
  // that runs as fast as it can (a scripted one) turns it off.
  bool paced = true;
  // The input delay, 0 to 3 frames; by default chosen from the measured round trip.
  int inputDelay = -1;
  // Nothing from the other machine for this long loses it; so does no new frame confirmed for
  // this long while waiting on it, whatever else it sends.
  int64_t timeoutUs = 5'000'000;
  // Seeds the session token and the handshake's nonce.
  uint64_t seed = 0;
  // The longest match, in frames: both players' inputs end there, and with them the match.
  int64_t longestFrames = LongestMatchFrames;
};

// A seed for a session's token and nonce that nobody can guess: from the system's random source.
uint64_t FreshSeed();
// Now on a steady clock, in microseconds: the time a session's Tick and Poll are given.
int64_t SteadyNowUs();

// One player's side of an online match: the wire to the other machine (peer_wire.h) and the
// rollback of the match (rollback.h), and the wiring between them. Both machines run the same
// frames; each shows its own player's inputs after the input delay and predicts that the other
// player made no key event, and when the other's real inputs arrive and differ, it goes back to
// that frame and simulates forward again before the next frame is shown. It never runs more than
// MaxPredictedFrames ahead of the last frame both players' inputs are known for.
class Session : private WireEvents, private RollbackOutbox {
 public:
  // Desync and goodbye notices are sent this many times, for the datagrams that get lost.
  static constexpr int StopNotices = 5;

  Session(Player me, Transport& transport, SessionDisplay& display, SessionOptions options = {});
  ~Session() override;

  // The local player pressed or released a key, or chose Start. Keys are mapped to the player's
  // own ship; keys the game does not use are dropped.
  void Input(InputEvent event);
  // The local player's inputs end here: from now on this player makes no event. The match ends
  // once both players' have ended and every frame before the later end is confirmed.
  void EndInputs() { rollback_.EndInputs(); }
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
  // Tick without Poll: simulates the next frame if it may, and sends the local inputs. A loop
  // that gives inputs for a frame only once it has heard that play began polls, then gives
  // them, then advances.
  bool Advance(int64_t nowUs);

  SessionState State() const { return state_; }
  Player Me() const { return me_; }
  // The newest simulated state: the picture shown.
  const Simulation& Shown() const { return rollback_.Shown(); }
  // The frame simulated next.
  int64_t NextFrame() const { return rollback_.NextFrame(); }
  // Every frame up to this one is confirmed: simulated with both players' real inputs.
  int64_t Settled() const { return rollback_.Settled(); }
  // The state after the last settled frame.
  const Simulation& SettledState() const { return rollback_.SettledState(); }
  // The frame both players' inputs end before, once both have ended; -1 until then.
  int64_t EndFrame() const { return rollback_.EndFrame(); }
  const MatchRecord& Record() const { return rollback_.Record(); }
  // The match ended at its longest rather than where the players' inputs ended.
  bool AtLongest() const { return rollback_.AtLongest(); }
  // Lost, though heard: no new frame was confirmed for the timeout while waiting on it.
  bool Stalled() const { return stalled_; }
  int InputDelay() const { return delay_; }
  // Whether the other machine has every local input and knows where they end: it can play the
  // match to its end without us, and a finished session can go.
  bool PeerHasAll() const { return rollback_.PeerHasAll(); }
  // The smoothed round trip in milliseconds, or -1 before it is measured.
  int RoundTripMs() const { return wire_.RoundTripMs(); }

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
  Counters Stats() const;

 private:
  // What the wire hands on.
  void Paired() override;
  bool BeginHeard(int roundTripMs) override;
  bool InputsHeard(const Inputs& in) override;
  bool CheckpointHeard(const Checkpoint& c) override;
  bool DesyncHeard(const Desync& d) override;
  bool GoodbyeHeard(const Goodbye& g) override;
  // What the rollback sends, and its word that the two simulations are apart.
  void Post(MessageBody body) override { wire_.Send(std::move(body)); }
  void FoundApart() override;

  // Poll and Advance, their messages still queued.
  void Handle(int64_t nowUs);
  bool Step(int64_t nowUs);
  void Begin(int roundTripMs);
  // The session is over for `why`.
  void End(SessionState why);

  Player me_;
  SessionOptions options_;
  SessionState state_ = SessionState::Connecting;
  PeerWire wire_;
  Rollback rollback_;
  int delay_ = 0;
  int64_t nowUs_ = 0;
  int64_t firstFrameUs_ = 0;  // the host starts half a round trip after its word to begin
  bool peerGone_ = false;
  bool goodbyeHeard_ = false;  // the other machine left once it was no longer needed
  bool peerFinished_ = false;  // its goodbye came with its record whole
  bool stalled_ = false;
  bool inputsSent_ = false;  // in this frame time
  // When the session last moved on: a new state, or a new frame confirmed.
  int64_t progressUs_ = -1;
  int64_t progressSettled_ = -1;
  SessionState progressState_ = SessionState::Connecting;
};

}  // namespace kavarin

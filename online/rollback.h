#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <functional>

#include "match/simulation.h"
#include "online/cue_ledger.h"
#include "online/frame_watcher.h"
#include "online/input_event.h"
#include "online/match_record.h"
#include "online/protocol.h"
#include "online/time_sync.h"
#include "online/timeline.h"

namespace kavarin {

// The longest online match: an hour. It bounds what a match holds (its record at most
// 2 * MaxEventsPerFrame events a frame) against a player who never ends.
inline constexpr int64_t LongestMatchFrames = 60 * 60 * 60;

// Where the rollback's word for the other machine goes (its inputs, and the hashes of confirmed
// frames), and who hears that the two simulations were found apart. In a session, the wire.
class RollbackOutbox {
 public:
  virtual ~RollbackOutbox() = default;
  virtual void Post(MessageBody body) = 0;
  virtual void FoundApart() = 0;
};

// The rollback half of one player's side of an online match, with no transport at all: both
// players' inputs frame by frame, the timeline with its predictions and corrections, the cues
// heard once, the confirmed frames and their record, and the hashes compared with the other
// machine's. Both machines run the same frames; the local player's inputs go into a frame the
// input delay ahead, the other player is predicted to make no key event, and when the other's
// real inputs arrive and differ, the frames since are simulated again before the next is shown.
// It never runs more than MaxPredictedFrames ahead of the last frame both players' inputs are
// known for.
class Rollback {
 public:
  // Local events are carried at most this many frames past the frame they were made for.
  static constexpr int64_t MaxCarry = 24;
  // A confirmed frame's hash is compared every this many frames: three times a second.
  static constexpr int64_t CheckpointEvery = 20;

  // `longest`: the longest match, in frames. Both players' inputs end there at the latest.
  Rollback(Player me, SessionDisplay& display, RollbackOutbox& out,
           int64_t longest = LongestMatchFrames);

  // Play begins with this input delay: its first frames have nobody's events in them.
  void Begin(int delay);
  // A local event, mapped to the player's own ship (keys the game does not use are dropped), into
  // the frame open now, after any event already there, and on into the next frames when it is
  // full.
  void Input(InputEvent event);
  // The local player's inputs end here: events already made still get their frames.
  void EndInputs();

  // The other player's inputs: false, and nothing changed, for a message no honest peer would
  // send now. Once `finished`, only what the other machine has of ours is taken from it.
  bool TakeInputs(const Inputs& in, int roundTripMs, bool finished);
  bool ValidInputs(const Inputs& in) const;
  // The other machine's hash of a confirmed frame: false for one it cannot have; a hash apart
  // from ours, while `playing`, is found apart.
  bool TakeCheckpoint(const Checkpoint& c, bool playing);
  // Whether the other machine can have confirmed this frame by now.
  bool PeerMaySettle(int64_t frame) const;
  // The shortest record the other machine can honestly end with when it leaves: the frames it
  // had both players' inputs for, and had simulated, when it last sent its inputs.
  int64_t PeerSettledAtLeast() const { return std::min(peerHas_ + 1, peerNext_); }
  // Both machines' hashes of the state after the last frame are here and the same: only then is
  // a match finished.
  bool FinalAgreed() const { return finalAgreed_; }
  // The match ends at its longest, not where a player's inputs ended.
  bool AtLongest() const { return EndFrame() == longest_; }

  // Whether the next frame may be simulated now (`paced`: keeping the clocks together too).
  bool MayAdvance(bool paced);
  // Simulates the next frame, shown, and confirms what it can.
  void Advance();
  // Simulates again from the earliest frame that was predicted wrong.
  void Correct();
  // Confirms every frame both players' inputs are known for, into the record.
  void Settle();
  // The other machine left with its record ending before `end`: this one ends there too.
  void EndRecordWith(int64_t end);
  // Whether to send the local inputs this frame time: at once for a frame with events, else
  // every other frame time.
  bool InputsDue();
  void SendInputs();
  // From now on frames are simulated for the record only: no cue is heard.
  void ForRecordOnly() { recordOnly_ = true; }

  const Simulation& Shown() const { return timeline_.Current(); }
  int64_t NextFrame() const { return timeline_.Next(); }
  int64_t Settled() const { return settled_; }
  const Simulation& SettledState() const { return timeline_.Before(settled_ + 1); }
  // The frame both players' inputs end before, once both have ended; -1 until then.
  int64_t EndFrame() const;
  const MatchRecord& Record() const { return record_; }
  // Whether the other machine has every local input and knows where they end.
  bool PeerHasAll() const;
  // Whether both players' inputs have ended and all of the other's are here.
  bool CanFinishAlone() const;
  // Finished, but the other machine wants to hear what we have.
  bool AckDue() const { return ackDue_; }
  bool LocalEnded() const { return localEnd_ >= 0; }
  // Every remote frame up to this one is known.
  int64_t RemoteKnown() const { return remoteKnown_; }

  // Called for every frame as it is confirmed, with the state after it.
  std::function<void(int64_t frame, const Simulation& after)> onSettled;

  struct Counters {
    int64_t rollbacks = 0;
    int64_t framesResimulated = 0;
    int64_t eventsDropped = 0;  // more events than a frame and its next ones can hold
  };
  const Counters& Stats() const { return counters_; }

 private:
  static constexpr int64_t Ring = 128;  // frames of inputs kept, either player

  // Local frames before this one will not change: they are sent.
  int64_t FinalLocal() const;
  // Every remote frame up to this one is known, counting the empty ones after its end.
  int64_t RemoteKnownThrough() const;
  void Simulate(bool newest);
  // Once every frame before the end is confirmed: the hash after the last one, compared with
  // the other machine's once both are known.
  void NoteFinal();
  void CompareFinal();
  // The local player's input for a frame, its slot emptied when it is first reached.
  FrameInput& LocalAt(int64_t f);
  FrameInput LocalOrEnded(int64_t f);
  FrameInput& RemoteAt(int64_t f) { return remote_[static_cast<size_t>(f % Ring)]; }
  const FrameInput& RemoteAt(int64_t f) const { return remote_[static_cast<size_t>(f % Ring)]; }
  // The remote player's input for a frame: the real one when known, else the prediction.
  FrameInput RemoteOrPredicted(int64_t f) const;

  Player me_;
  SessionDisplay& display_;
  RollbackOutbox& out_;
  FrameWatcher watcher_;
  Timeline timeline_;
  CueLedger cues_;
  MatchRecord record_;
  FrameClockSync sync_;
  int delay_ = 0;
  int64_t longest_;
  bool recordOnly_ = false;

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
  uint32_t heardSequence_ = 0;    // of the newest remote Inputs message taken
  bool ackDue_ = false;
  int64_t peerNext_ = 0;  // the frame the other machine was about to simulate, last it said

  uint64_t finalHash_ = 0;
  bool finalKnown_ = false;
  int64_t remoteFinalFrame_ = -1;  // the other machine's newest hash outside the usual ones
  uint64_t remoteFinalHash_ = 0;
  bool finalAgreed_ = false;

  static constexpr size_t Checkpoints = 64;  // kept by checkpoint number % Checkpoints
  std::array<uint64_t, Checkpoints> localHashes_{};
  std::array<uint64_t, Checkpoints> remoteHashes_{};
  std::array<int64_t, Checkpoints> localHashFrame_{};
  std::array<int64_t, Checkpoints> remoteHashFrame_{};
  Counters counters_;
};

}  // namespace kavarin

#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "files/safe_file.h"
#include "online/session.h"
#include "online/transport.h"

namespace kavarin {

// Why an online match ended.
enum class MatchEnd {
  Finished,         // both players' inputs ended and both machines have every frame
  PeerLeft,         // the other player left, or the link to it closed
  PeerLost,         // nothing heard from the other machine for too long
  Desynced,         // the two simulations were found apart
  CouldNotConnect,  // the two never got as far as playing
  Left,             // this player left
};

struct LoopOptions {
  SessionOptions session;
  // A guest whose link is not up by then gives up.
  int64_t connectTimeoutUs = 30'000'000;
  // A finished match waits this long at most for the other machine to have all it needs.
  int64_t lingerUs = 5'000'000;
  // Where the record is written when a match that began ends; empty for none. It never replaces
  // one of `kept`. The second and later matches of a loop write it numbered (NumberedPath).
  std::string record;
  std::vector<KeptFile> kept;
};

// The record path of a loop's `n`th match, from 1: the path itself, then with "-n" before the
// extension: match.txt, match-2.txt, match-3.txt.
std::string NumberedPath(const std::string& path, int n);

// One player's side of online play, driven frame by frame: the one loop both front ends use,
// the window's frame clock and the headless peer. It owns the rules of the life of a match:
// the link is serviced once a frame, after the session has moved (and whenever the front end
// hears the link has something); the session is polled, given the frame's inputs, and
// advanced; a link that closes lets the session hear the rest of what arrived before it is told
// the other left; after a desync the notices go out a frame apart before the link closes; a
// finished match waits for the other machine; and the record of a match that began is written
// once, whichever way it ended. The front end gives it the time and is told what happened.
class OnlineLoop {
 public:
  // Opens the link for a match: a host's that waits, a guest's that looks for its host.
  using OpenLink = std::function<std::unique_ptr<Transport>(std::string& error)>;
  // What one frame time came to.
  enum class Report { Waiting, NewFrame, Ended };

  OnlineLoop(Player me, OpenLink open, SessionDisplay& display, LoopOptions options);
  ~OnlineLoop();
  // Whether the link could be opened; `error` says why not.
  bool Open(std::string& error);

  // One frame time. `inputs` is called once the frame's news is heard and before it may be
  // simulated, while play runs: a scripted player gives the frame's events there.
  Report Frame(int64_t nowUs, const std::function<void(Session&)>& inputs = {});
  // The link has something: it is read now; the session moves on at the next frame.
  void Heard(int64_t nowUs);
  // Waits at most timeoutMs for the link to have something.
  void Wait(int timeoutMs);
  // This player leaves: the other machine is told at once, the link closed, the record written.
  void Leave();
  // A new match over a new link, after one has ended: a host waits again, a guest connects again.
  bool Again(std::string& error);

  Session& Game() { return *session_; }
  const Session& Game() const { return *session_; }
  const Transport& Link() const { return *link_; }
  // Whether the link came up and the session runs over it.
  bool Linked() const { return linked_; }
  // How long the link has been looked for, for a guest whose link is not up.
  int64_t LinkingForUs(int64_t nowUs) const { return nowUs - openedUs_; }
  // Whether the two got as far as playing.
  bool Played() const { return played_; }
  bool Ended() const { return ended_; }
  MatchEnd Why() const { return why_; }
  // Nothing more to do: the notices are out and the link is closed.
  bool Done() const { return done_; }
  // The record could not be written: why.
  const std::string& RecordError() const { return recordError_; }
  // Where the last match's record went, or was to go; empty when none was written.
  const std::string& RecordPath() const { return recordPath_; }
  // Why the link could not be made, or opened again; empty when nothing said.
  const std::string& Failure() const { return failure_; }
  // Counts the links opened: a front end that holds on to the session or the link's handle
  // takes them again when it changes.
  int Generation() const { return generation_; }

 private:
  void End(MatchEnd why);
  // The last notices and the link's end.
  void Finish(int64_t nowUs);
  void Close();
  void WriteRecord();
  // A host's link that holds no guest is opened afresh.
  Report WaitAgain();

  Player me_;
  OpenLink open_;
  SessionDisplay& display_;
  LoopOptions options_;
  std::unique_ptr<Transport> link_;
  std::unique_ptr<Session> session_;
  int64_t openedUs_ = -1;
  int64_t finishedUs_ = -1;
  int64_t lastNoticeUs_ = -1;
  int64_t connectingUs_ = -1;  // since when a host's link is half open
  int64_t linkedUs_ = -1;
  int records_ = 0;  // records written by this loop
  int noticeFrames_ = 0;
  bool linked_ = false;
  bool played_ = false;
  bool ended_ = false;
  bool done_ = false;
  bool recordWritten_ = false;
  int generation_ = 0;
  MatchEnd why_ = MatchEnd::Finished;
  std::string recordError_;
  std::string recordPath_;
  std::string failure_;
};

}  // namespace kavarin

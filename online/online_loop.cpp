#include "online/online_loop.h"

#include "files/record_file.h"
#include "online/time_sync.h"

namespace kavarin {

namespace {

// After a desync the session sends its notices one a poll: the loop polls this many frames more,
// a frame apart, so that one lost burst does not take them all.
constexpr int NoticeFrames = Session::StopNotices + 3;
static_assert(NoticeFrames > Session::StopNotices);

// Where a loop's session is before a link opens, and when none could be opened again.
class NoLink : public Transport {
 public:
  void Send(std::span<const uint8_t>) override {}
  bool Receive(std::vector<uint8_t>&) override { return false; }
  LinkState State() const override { return LinkState::Closed; }
};

}  // namespace

OnlineLoop::OnlineLoop(Player me, OpenLink open, SessionDisplay& display, LoopOptions options)
    : me_(me),
      open_(std::move(open)),
      display_(display),
      options_(std::move(options)),
      link_(std::make_unique<NoLink>()),
      session_(std::make_unique<Session>(me_, *link_, display_, options_.session)) {}

OnlineLoop::~OnlineLoop() {
  Leave();
}

bool OnlineLoop::Open(std::string& error) {
  // The last link goes first, so that a host can wait on its port again; the session goes
  // before the link it holds.
  if (link_->State() != LinkState::Closed) link_->Close();
  session_.reset();
  link_.reset();
  link_ = open_(error);
  const bool opened = link_ != nullptr;
  if (!opened) link_ = std::make_unique<NoLink>();
  session_ = std::make_unique<Session>(me_, *link_, display_, options_.session);
  ++generation_;
  openedUs_ = finishedUs_ = lastNoticeUs_ = connectingUs_ = linkedUs_ = -1;
  noticeFrames_ = 0;
  linked_ = played_ = ended_ = done_ = recordWritten_ = false;
  recordError_.clear();
  recordPath_.clear();
  failure_ = opened ? std::string() : error;
  if (!opened) ended_ = done_ = true;
  return opened;
}

bool OnlineLoop::Again(std::string& error) {
  if (!done_) return false;
  // Every match has a token of its own: nothing of the last one is taken for the next.
  options_.session.seed = FreshSeed();
  return Open(error);
}

OnlineLoop::Report OnlineLoop::Frame(int64_t nowUs, const std::function<void(Session&)>& inputs) {
  if (done_) return Report::Ended;
  if (openedUs_ < 0) openedUs_ = nowUs;
  if (ended_) {
    Finish(nowUs);
    return Report::Ended;
  }
  if (!linked_) {
    link_->Service();
    // A half-open connection holds a host's only slot: after the timeout it waits afresh.
    if (me_ == Player::Host && link_->State() == LinkState::Connecting) {
      if (connectingUs_ < 0) connectingUs_ = nowUs;
      if (nowUs - connectingUs_ > options_.session.timeoutUs) return WaitAgain();
    } else {
      connectingUs_ = -1;
    }
    if (link_->State() != LinkState::Connected) {
      // A host waits as long as it takes; a guest gives up in the end.
      // A host's link closes before linking only when it cannot wait (its lobby failed).
      if (link_->State() == LinkState::Closed ||
          (me_ == Player::Guest && nowUs - openedUs_ > options_.connectTimeoutUs)) {
        failure_ = link_->Failure();
        End(MatchEnd::CouldNotConnect);
        Close();
        return Report::Ended;
      }
      return Report::Waiting;
    }
    linked_ = true;
    linkedUs_ = nowUs;
  }
  Session& session = *session_;
  session.Poll(nowUs);
  // A guest that connects and never says hello does not keep the host from the next one.
  if (me_ == Player::Host && session.State() == SessionState::Connecting &&
      nowUs - linkedUs_ > options_.session.timeoutUs)
    return WaitAgain();
  if (session.State() == SessionState::Playing && inputs) inputs(session);
  const bool made = session.Advance(nowUs);
  played_ = played_ || session.State() == SessionState::Playing;
  link_->Service();
  if (link_->State() == LinkState::Closed) {
    // A guest that left before it even said hello leaves the host waiting for the next one.
    if (me_ == Player::Host && session.State() == SessionState::Connecting) return WaitAgain();
    // What arrived before the link closed comes first: the other side's goodbye ends the record.
    session.Poll(nowUs);
    session.OtherLeft();
  }
  switch (session.State()) {
    case SessionState::Finished:
      if (finishedUs_ < 0) finishedUs_ = nowUs;
      // It waits for the other machine to have every input of ours, which it needs to finish.
      if (!session.PeerHasAll() && link_->State() != LinkState::Closed &&
          nowUs - finishedUs_ < options_.lingerUs)
        break;
      session.Leave();
      End(MatchEnd::Finished);
      Close();
      return Report::Ended;
    case SessionState::PeerLeft:
      End(MatchEnd::PeerLeft);
      Close();
      return Report::Ended;
    case SessionState::PeerLost:
      End(played_ ? MatchEnd::PeerLost : MatchEnd::CouldNotConnect);
      Close();
      return Report::Ended;
    case SessionState::Desynced:
      End(MatchEnd::Desynced);
      noticeFrames_ = NoticeFrames;
      lastNoticeUs_ = nowUs;
      return Report::Ended;
    default:
      break;
  }
  return made ? Report::NewFrame : Report::Waiting;
}

OnlineLoop::Report OnlineLoop::WaitAgain() {
  std::string error;
  if (Open(error)) return Report::Waiting;
  why_ = MatchEnd::CouldNotConnect;
  failure_ = error;
  return Report::Ended;
}

void OnlineLoop::Finish(int64_t nowUs) {
  if (noticeFrames_ > 0 && nowUs - lastNoticeUs_ >= static_cast<int64_t>(FrameUs)) {
    lastNoticeUs_ = nowUs;
    --noticeFrames_;
    session_->Poll(nowUs);
    link_->Service();
  }
  if (noticeFrames_ <= 0) Close();
}

void OnlineLoop::Heard(int64_t nowUs) {
  if (done_) return;
  link_->Service();
  if (linked_ && !ended_) session_->Poll(nowUs);
}

void OnlineLoop::Wait(int timeoutMs) {
  if (!done_) link_->Wait(timeoutMs);
}

void OnlineLoop::Leave() {
  if (done_) return;
  if (!ended_) {
    if (linked_) session_->Leave();
    End(MatchEnd::Left);
  }
  Close();
}

void OnlineLoop::End(MatchEnd why) {
  if (ended_) return;
  ended_ = true;
  why_ = why;
  WriteRecord();
}

void OnlineLoop::Close() {
  // What is queued, a goodbye among it, goes out before the link closes.
  if (link_->State() != LinkState::Closed) link_->Close();
  done_ = true;
}

void OnlineLoop::WriteRecord() {
  // A match that never began (no frame confirmed) has nothing to keep, and an earlier record is
  // not replaced by it.
  if (options_.record.empty() || recordWritten_ || !played_ || session_->Settled() < 0) return;
  recordWritten_ = true;
  // Each match of a run keeps its own record: the second and later are numbered.
  recordPath_ = NumberedPath(options_.record, ++records_);
  std::string error;
  if (!::kavarin::WriteRecord(recordPath_, session_->Record().Script(), error, options_.kept))
    recordError_ = error;
}

std::string NumberedPath(const std::string& path, int n) {
  if (n <= 1) return path;
  const size_t slash = path.rfind('/');
  const size_t name = slash == std::string::npos ? 0 : slash + 1;
  size_t dot = path.rfind('.');
  // A leading dot names a hidden file, not an extension.
  if (dot == std::string::npos || dot <= name) dot = path.size();
  return path.substr(0, dot) + "-" + std::to_string(n) + path.substr(dot);
}

}  // namespace kavarin

#include "app/online/online_match.h"

#include <QMessageBox>

#include "app/main_window.h"
#include "app/online/online_texts.h"
#include "files/record_file.h"

namespace kavarin {

OnlineMatch::OnlineMatch(TForm1& form, CuePlayer& cues, std::unique_ptr<EnetTransport> transport,
                         Player me, QString where, std::string record)
    : form_(form),
      cues_(cues),
      transport_(std::move(transport)),
      session_(me, *transport_, *this, SessionOptions{.seed = FreshSeed()}),
      clock_([this] { Frame(); }),
      where_(std::move(where)),
      record_(std::move(record)) {
  form_.View().SetField(session_.Shown().field);
  // The frame clock runs for the whole match: the three timers' pace, 60 frames a second.
  SetIntervals(clock_, StartOrder, RunningInterval);
  notifier_ = std::make_unique<QSocketNotifier>(transport_->SocketFd(), QSocketNotifier::Read);
  connect(notifier_.get(), &QSocketNotifier::activated, this, [this] { Service(); });
  titleTimer_.setInterval(1000);
  connect(&titleTimer_, &QTimer::timeout, this, [this] { ShowTitle(); });
  titleTimer_.start();
  ShowTitle();
}

OnlineMatch::~OnlineMatch() {
  Leave();
}

void OnlineMatch::KeyDown(int32_t code) {
  session_.Input({EventKind::KeyDown, static_cast<uint16_t>(code)});
}

void OnlineMatch::KeyUp(int32_t code) {
  session_.Input({EventKind::KeyUp, static_cast<uint16_t>(code)});
}

void OnlineMatch::StartCommand() {
  session_.Input({EventKind::Start, 0});
}

void OnlineMatch::Leave() {
  if (!over_) {
    over_ = true;
    session_.Leave();
    transport_->Service();
    WriteRecord();
  }
  Shut();
}

void OnlineMatch::Shut() {
  clock_.SetInterval(TimerId::Timer1, StoppedInterval);
  titleTimer_.stop();
  // A socket nobody reads any more would wake the event loop for ever.
  notifier_->setEnabled(false);
  if (transport_->State() != EnetTransport::Link::Closed) transport_->Close();
}

void OnlineMatch::Service() {
  if (over_) return;
  transport_->Service();
  // What has arrived is read now; the session itself moves on at the next frame.
  session_.Poll(SteadyNowUs());
}

void OnlineMatch::Frame() {
  if (over_) {
    // After a desync the session sends its notices one a frame; then the link closes.
    session_.Poll(SteadyNowUs());
    transport_->Service();
    if (--noticeFrames_ <= 0) Shut();
    return;
  }
  session_.Tick(SteadyNowUs());
  played_ = played_ || session_.State() == SessionState::Playing;
  transport_->Service();
  if (transport_->State() == EnetTransport::Link::Closed) {
    // What arrived before the link closed comes first: the other side's goodbye ends the record.
    session_.Poll(SteadyNowUs());
    session_.OtherLeft();
  }
  form_.View().Flush();
  switch (session_.State()) {
    case SessionState::PeerLeft:
    case SessionState::PeerLost:
    case SessionState::Desynced:
      Ended();
      break;
    default:
      break;
  }
}

void OnlineMatch::ShowTitle() {
  switch (session_.State()) {
    case SessionState::Connecting:
    case SessionState::Syncing:
      form_.setWindowTitle(where_.isEmpty() ? WaitingTitle(transport_->Port())
                                            : ConnectingTitle(where_));
      break;
    case SessionState::Playing:
      form_.setWindowTitle(PlayingTitle(session_.RoundTripMs()));
      break;
    default:
      form_.setWindowTitle(EndedTitle(session_.State()));
      break;
  }
}

void OnlineMatch::Ended() {
  const SessionState why = session_.State();
  over_ = true;
  // A desync is told to the other side over the next frames; the clock keeps going for that.
  if (why == SessionState::Desynced)
    noticeFrames_ = 8;
  else
    Shut();
  titleTimer_.stop();
  WriteRecord();
  ShowTitle();
  QMessageBox::information(&form_, QStringLiteral("Kavarin"),
                           EndMessage(why, played_, QString::fromStdString(record_), recordError_));
}

void OnlineMatch::WriteRecord() {
  // A match that never began has nothing to keep, and an earlier record is not replaced by it.
  if (record_.empty() || recordWritten_ || !played_) return;
  recordWritten_ = true;
  std::string error;
  if (!::kavarin::WriteRecord(record_, session_.Record().Script(), error))
    recordError_ = QString::fromStdString(error);
}

void OnlineMatch::PolylineDrawn(Color, std::span<const Point> points) {
  form_.View().Changed(points);
}

void OnlineMatch::FieldCleared() {
  form_.View().Changed();
}

void OnlineMatch::CuePlayed(std::string_view name) {
  cues_.PlayCue(name);
}

void OnlineMatch::WindowColorSet(Color color) {
  form_.View().SetBackgroundColor(color);
}

void OnlineMatch::ClientSizeSet(int32_t width, int32_t height) {
  form_.View().SetClientSize(width, height);
}

void OnlineMatch::PictureReplaced() {
  form_.View().Changed();
}

}  // namespace kavarin

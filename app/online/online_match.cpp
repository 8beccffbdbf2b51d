#include "app/online/online_match.h"

#include <QMessageBox>

#include "app/main_window.h"
#include "app/online/online_texts.h"

namespace kavarin {

OnlineMatch::OnlineMatch(TForm1& form, CuePlayer& cues, OnlineLoop::OpenLink open, Player me,
                         QString where, int port, std::string record)
    : form_(form),
      cues_(cues),
      me_(me),
      loop_(me, std::move(open), *this,
            LoopOptions{.session = {.seed = FreshSeed()},
                        .connectTimeoutUs = 5'000'000,
                        .record = record,
                        .kept = {}}),
      clock_([this] { Frame(); }),
      where_(std::move(where)),
      port_(port),
      record_(QString::fromStdString(record)) {
  titleTimer_.setInterval(1000);
  connect(&titleTimer_, &QTimer::timeout, this, [this] { ShowTitle(); });
}

OnlineMatch::~OnlineMatch() {
  Leave();
}

bool OnlineMatch::Start(std::string& error) {
  if (!loop_.Open(error)) return false;
  Begin();
  return true;
}

void OnlineMatch::Begin() {
  endShown_ = false;
  form_.View().SetField(loop_.Game().Shown().field);
  form_.View().Changed();
  // The frame clock runs for the whole match: the three timers' pace, 60 frames a second.
  SetIntervals(clock_, StartOrder, RunningInterval);
  notifier_ = std::make_unique<QSocketNotifier>(loop_.Link().WaitHandle(), QSocketNotifier::Read);
  connect(notifier_.get(), &QSocketNotifier::activated, this, [this] { Heard(); });
  titleTimer_.start();
  ShowTitle();
}

void OnlineMatch::KeyDown(int32_t code) {
  loop_.Game().Input({EventKind::KeyDown, static_cast<uint16_t>(code)});
}

void OnlineMatch::KeyUp(int32_t code) {
  loop_.Game().Input({EventKind::KeyUp, static_cast<uint16_t>(code)});
}

void OnlineMatch::StartCommand() {
  loop_.Game().Input({EventKind::Start, 0});
}

void OnlineMatch::Leave() {
  loop_.Leave();
  Stop();
}

void OnlineMatch::Stop() {
  clock_.SetInterval(TimerId::Timer1, StoppedInterval);
  titleTimer_.stop();
  // A socket nobody reads any more would wake the event loop for ever.
  if (notifier_) notifier_->setEnabled(false);
}

void OnlineMatch::Heard() {
  loop_.Heard(SteadyNowUs());
  if (loop_.Done()) Stop();
}

void OnlineMatch::Frame() {
  const OnlineLoop::Report report = loop_.Frame(SteadyNowUs());
  form_.View().Flush();
  if (report == OnlineLoop::Report::Ended && !endShown_) Ended();
  if (loop_.Done()) Stop();
}

void OnlineMatch::ShowTitle() {
  if (loop_.Ended()) {
    form_.setWindowTitle(EndedTitle(loop_.Why()));
    return;
  }
  switch (loop_.Game().State()) {
    case SessionState::Connecting:
    case SessionState::Syncing:
      form_.setWindowTitle(me_ == Player::Host ? WaitingTitle(port_) : ConnectingTitle(where_));
      break;
    default:
      form_.setWindowTitle(PlayingTitle(loop_.Game().RoundTripMs()));
      break;
  }
}

void OnlineMatch::Ended() {
  endShown_ = true;
  titleTimer_.stop();
  ShowTitle();
  // Said without holding up the frame clock, which still has the last notices to send.
  auto* box =
      new QMessageBox(QMessageBox::Information, QStringLiteral("Kavarin"),
                      EndMessage(loop_.Why(), record_, QString::fromStdString(loop_.RecordError())),
                      QMessageBox::Ok, &form_);
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->open();
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

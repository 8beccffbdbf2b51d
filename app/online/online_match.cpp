#include "app/online/online_match.h"

#include <QMessageBox>
#include <algorithm>

#include "app/main_window.h"
#include "app/online/online_texts.h"
#include "online/lobby_link_path.h"

namespace kavarin {

OnlineMatch::OnlineMatch(TForm1& form, CuePlayer& cues, OnlineLoop::OpenLink open, Player me,
                         QString where, int port, std::string record, bool askRouter)
    : form_(form),
      cues_(cues),
      me_(me),
      loop_(me, std::move(open), *this,
            LoopOptions{.session = {.seed = FreshSeed()},
                        .connectTimeoutUs = 30'000'000,
                        .record = record,
                        .kept = {}}),
      clock_([this] { Frame(); }),
      where_(std::move(where)),
      port_(port),
      record_(QString::fromStdString(record)),
      askRouter_(askRouter) {
  titleTimer_.setInterval(1000);
  connect(&titleTimer_, &QTimer::timeout, this, [this] { ShowTitle(); });
}

OnlineMatch::~OnlineMatch() {
  Leave();
}

bool OnlineMatch::Start(std::string& error) {
  if (!loop_.Open(error)) return false;
  // Off the frame clock: the host waits at once, and the title tells the router's answer.
  // A host met through a lobby has no port of its own to forward.
  if (me_ == Player::Host && askRouter_ &&
      dynamic_cast<const LobbyHostLink*>(&loop_.Link()) == nullptr)
    router_.emplace(static_cast<uint16_t>(port_));
  Begin();
  return true;
}

void OnlineMatch::Begin() {
  generation_ = loop_.Generation();
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
  // After the match, F2 connects a guest to its host again.
  if (me_ == Player::Guest && loop_.Done() && !leaving_)
    Again();
  else
    loop_.Game().Input({EventKind::Start, 0});
}

void OnlineMatch::Again() {
  std::string error;
  if (loop_.Again(error)) {
    Begin();
    return;
  }
  Stop();
  ShowTitle();
  Tell(EndMessage(MatchEnd::CouldNotConnect, me_, record_, QString(),
                  QString::fromStdString(error)));
}

void OnlineMatch::Leave() {
  leaving_ = true;
  loop_.Leave();
  Stop();
  if (router_) router_->Close();
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
  // A guest that left before it said hello: the host waits on a new link.
  if (loop_.Generation() != generation_) Begin();
  form_.View().Flush();
  if (report == OnlineLoop::Report::Ended && !endShown_) Ended();
  if (!loop_.Done()) return;
  // A host waits for the next guest at once; a guest waits for F2.
  // (Unless its port could not be taken again: then it has been told why.)
  if (me_ == Player::Host && !leaving_ && loop_.Failure().empty())
    Again();
  else
    Stop();
}

void OnlineMatch::ShowTitle() {
  if (loop_.Ended()) {
    form_.setWindowTitle(EndedTitle(loop_.Why()));
    return;
  }
  const int seconds = static_cast<int>(loop_.LinkingForUs(SteadyNowUs()) / 1'000'000);
  switch (loop_.Game().State()) {
    case SessionState::Connecting:
    case SessionState::Syncing:
      if (me_ == Player::Guest) {
        form_.setWindowTitle(ConnectingTitle(where_, std::max(seconds, 0)));
      } else if (const auto* room = dynamic_cast<const LobbyHostLink*>(&loop_.Link())) {
        form_.setWindowTitle(
            room->Code() ? RoomWaitingTitle(QString::fromStdString(RoomCodeText(*room->Code())))
                         : AskingLobbyTitle(where_));
      } else {
        const std::optional<RouterStatus> router =
            router_ ? std::optional(router_->Status()) : std::nullopt;
        form_.setWindowTitle(
            WithRouterNote(lastEnd_ ? WaitingAgainTitle(port_, *lastEnd_) : WaitingTitle(port_),
                           router ? &*router : nullptr));
      }
      break;
    default:
      form_.setWindowTitle(LobbyPathOf(loop_.Link()) == LinkPath::Relayed
                               ? RelayedPlayingTitle(loop_.Game().RoundTripMs())
                               : PlayingTitle(loop_.Game().RoundTripMs()));
      break;
  }
}

void OnlineMatch::Ended() {
  endShown_ = true;
  lastEnd_ = loop_.Why();
  titleTimer_.stop();
  ShowTitle();
  Tell(EndMessage(loop_.Why(), me_, QString::fromStdString(loop_.RecordPath()),
                  QString::fromStdString(loop_.RecordError()),
                  QString::fromStdString(loop_.Failure())));
}

void OnlineMatch::Tell(const QString& text) {
  // Said without holding up the frame clock, which still has the last notices to send, and a
  // host its next guest to wait for.
  auto* box = new QMessageBox(QMessageBox::Information, QStringLiteral("Kavarin"), text,
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

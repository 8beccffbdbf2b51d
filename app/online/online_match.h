#pragma once

#include <QObject>
#include <QSocketNotifier>
#include <QString>
#include <QTimer>
#include <memory>
#include <optional>
#include <string>

#include "app/input_sink.h"
#include "app/pacing/paced_timers.h"
#include "app/sound/cue_player.h"
#include "online/online_loop.h"
#include "online/router_ports.h"

namespace kavarin {

class TForm1;

// One player's side of online play in the game's window: the online loop, driven by a frame
// clock of 60 frames a second that runs also while play is stopped. The window shows the
// session's newest frame and sends it this player's keys and Start; the title says how the link
// stands; when the match ends, a message says why.
class OnlineMatch : public QObject, public InputSink, private SessionDisplay {
 public:
  // `where` names the other machine for the title while connecting; empty for a host, which
  // waits on `port` and, with `askRouter`, asks its router to forward it while it plays.
  OnlineMatch(TForm1& form, CuePlayer& cues, OnlineLoop::OpenLink open, Player me, QString where,
              int port, std::string record, bool askRouter = false);
  ~OnlineMatch() override;
  // Opens the link and starts the clock; `error` says why it cannot.
  bool Start(std::string& error);

  void KeyDown(int32_t code) override;
  void KeyUp(int32_t code) override;
  void StartCommand() override;

  // This player leaves: the other side is told at once, and the record is written.
  void Leave();
  // The same, from an exit handler: nothing of the toolkit is touched.
  void LeaveAtExit() {
    leaving_ = true;
    loop_.Leave();
    if (router_) router_->Close();
  }

  const Session& Game() const { return loop_.Game(); }
  const OnlineLoop& Loop() const { return loop_; }

 private:
  // The loop's new link is watched, its session shown, and the clock runs.
  void Begin();
  void Frame();
  void Heard();
  // The loop is done with its link: nothing more is read.
  void Stop();
  void ShowTitle();
  void Ended();
  // A new match: a host waits again, a guest connects again.
  void Again();
  void Tell(const QString& text);

  void PenColorSet(Color) override {}
  void PolylineDrawn(Color pen, std::span<const Point> points) override;
  void FieldCleared() override;
  void CuePlayed(std::string_view name) override;
  void WindowColorSet(Color color) override;
  void ClientSizeSet(int32_t width, int32_t height) override;
  void PictureReplaced() override;

  TForm1& form_;
  CuePlayer& cues_;
  Player me_;
  OnlineLoop loop_;
  PacedTimers clock_;
  QTimer titleTimer_;
  std::unique_ptr<QSocketNotifier> notifier_;
  QString where_;
  int port_;
  QString record_;
  bool endShown_ = false;
  bool leaving_ = false;
  int generation_ = 0;
  bool askRouter_;
  std::optional<RouterPorts> router_;  // asked once the host waits; the forwarding goes with it
  std::optional<MatchEnd> lastEnd_;    // how the last match ended, for a host that waits again
};

}  // namespace kavarin

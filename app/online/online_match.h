#pragma once

#include <QObject>
#include <QSocketNotifier>
#include <QString>
#include <QTimer>
#include <memory>
#include <string>

#include "app/input_sink.h"
#include "app/pacing/paced_timers.h"
#include "app/sound/cue_player.h"
#include "online/enet_transport.h"
#include "online/session.h"

namespace kavarin {

class TForm1;

// One player's side of an online match in the game's window: the session over the network,
// driven by a frame clock of 60 frames a second that runs also while play is stopped. The window
// shows the session's newest frame and sends it this player's keys and Start; the title says
// how the link stands; when the match ends, a message says why, and the record is written.
class OnlineMatch : public QObject, public InputSink, private SessionDisplay {
 public:
  // `where` names the other machine for the title while connecting; empty for a host.
  OnlineMatch(TForm1& form, CuePlayer& cues, std::unique_ptr<EnetTransport> transport, Player me,
              QString where, std::string record);
  ~OnlineMatch() override;

  void KeyDown(int32_t code) override;
  void KeyUp(int32_t code) override;
  void StartCommand() override;

  // This player leaves: the other side is told at once, and the record is written.
  void Leave();

  const Session& Game() const { return session_; }

 private:
  void Frame();
  void Service();
  // The match is over: no more frames, no more reading, and the link closed.
  void Shut();
  void ShowTitle();
  void Ended();
  void WriteRecord();

  void PenColorSet(Color) override {}
  void PolylineDrawn(Color pen, std::span<const Point> points) override;
  void FieldCleared() override;
  void CuePlayed(std::string_view name) override;
  void WindowColorSet(Color color) override;
  void ClientSizeSet(int32_t width, int32_t height) override;
  void PictureReplaced() override;

  TForm1& form_;
  CuePlayer& cues_;
  std::unique_ptr<EnetTransport> transport_;
  Session session_;
  PacedTimers clock_;
  QTimer titleTimer_;
  std::unique_ptr<QSocketNotifier> notifier_;
  QString where_;
  std::string record_;
  QString recordError_;
  bool recordWritten_ = false;
  bool over_ = false;
  bool played_ = false;   // the two machines got as far as playing
  int noticeFrames_ = 0;  // frames left to tell the other side the simulations differ
};

}  // namespace kavarin

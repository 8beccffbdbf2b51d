#pragma once

#include <QMainWindow>
#include <QPointer>

#include "app/field_view.h"
#include "app/input_sink.h"
#include "app/pacing/paced_timers.h"
#include "app/sound/cue_player.h"
#include "app/window_zoom.h"
#include "match/match.h"
#include "match/observer.h"
#include "match/simulation.h"

class QAction;
class QDialog;
class QMenu;

namespace kavarin {

// The main window: the play field below the game's menu. It holds the simulation and drives it
// from the paced timers, the keyboard and the menu, and it watches it: what the game draws goes
// to the field view, its cues to the sound player, its intervals to the paced timers.
class TForm1 : public QMainWindow, private Observer {
  Q_OBJECT

 public:
  explicit TForm1(CuePlayer& cues, QWidget* parent = nullptr);
  ~TForm1() override;

  // The two dialogs live as long as the program and are only shown and hidden.
  void SetDialogs(QDialog* form2, QDialog* form3);

  // Menu commands.
  void KS1Click();
  void Exit1Click();
  void KP1Click();
  void About1Click();

  // One firing of a running timer: a whole frame tick, then the field is repainted.
  void Tick();

  // A game controller's key event, by virtual key code.
  void ControllerKey(bool down, int32_t code);

  // From now on keys, controllers and Start go to `sink` instead of the window's own match (null:
  // back to the own match).
  void SetInputSink(InputSink* sink) { sink_ = sink; }

  // Told just before and just after every tick of the window's own match.
  class TickWatcher {
   public:
    virtual ~TickWatcher() = default;
    virtual void BeforeTick() = 0;
    virtual void AfterTick() = 0;
  };
  void SetTickWatcher(TickWatcher* watcher) { watcher_ = watcher; }

  Match& Game() { return match_; }
  FieldView& View() { return *field_; }
  WindowZoom& Zoom() { return zoom_; }
  const TimerIntervals& Timers() const { return sim_.timers; }
  const PacedTimers& Pacer() const { return timers_; }
  PacedTimers& Pacer() { return timers_; }

 protected:
  // Key preview: the window's key handlers see every key pressed while it is active, before
  // any child widget does.
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildMenu();
  bool OwnsKeyEvent(QObject* watched) const;
  void GameKeyDown(int32_t code);
  void GameKeyUp(int32_t code);

  // What the game shows the platform.
  void PolylineDrawn(Color pen, std::span<const Point> points) override;
  void FieldCleared() override;
  void CuePlayed(std::string_view name) override;
  void IntervalSet(TimerId timer, int32_t interval) override;
  void WindowColorSet(Color color) override;
  void ClientSizeSet(int32_t width, int32_t height) override;

  Simulation sim_;
  CuePlayer& cues_;
  FieldView* field_;
  WindowZoom zoom_;
  PacedTimers timers_;
  Match match_;
  QPointer<QDialog> form2_;
  QPointer<QDialog> form3_;
  InputSink* sink_ = nullptr;
  TickWatcher* watcher_ = nullptr;
};

}  // namespace kavarin

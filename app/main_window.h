#pragma once

#include <QMainWindow>
#include <QPointer>

#include "app/field_view.h"
#include "app/pacing/paced_timers.h"
#include "match/match.h"

class QAction;
class QDialog;
class QMenu;

namespace kavarin {

// The main window: the play field below the game's menu. It owns the match and drives it from
// the paced timers, the keyboard and the menu.
class TForm1 : public QMainWindow {
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

  Match& Game() { return match_; }
  FieldView& View() { return *field_; }
  const PlayTimers& Timers() const { return timers_; }

 protected:
  // Key preview: the window's key handlers see every key pressed while it is active, before
  // any child widget does.
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildMenu();
  bool OwnsKeyEvent(QObject* watched) const;

  FieldView* field_;
  PacedTimers timers_;
  Match match_;
  QPointer<QDialog> form2_;
  QPointer<QDialog> form3_;
};

}  // namespace kavarin

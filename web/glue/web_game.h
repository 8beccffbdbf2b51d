#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string_view>

#include "app/controllers/controller_keys.h"
#include "app/pacing/tick_schedule.h"
#include "computer/computer_player.h"
#include "match/match.h"
#include "match/simulation.h"
#include "render/drawing_surface.h"
#include "web/glue/local_record.h"

namespace kavarin {

// The game as the page runs it: one simulation, its tick pacing from the page's steady clock,
// the controllers' seats, the record of what was played, and the field as RGBA pixels for the
// canvas. Times are the page's clock (performance.now()) in nanoseconds.
//
// With a computer level (1 to 3), the computer flies the right ship as on the desktop: the
// player flies the left one from either player's keys, the computer's key events go to the game
// before every tick and into the record like a player's, and it never presses Space to continue.
class WebGame final : public Observer {
 public:
  using Time = TickSchedule::Time;

  // `computerLevel` 0 is two players at one keyboard.
  explicit WebGame(int computerLevel = 0, uint64_t computerSeed = 0);
  ~WebGame() override;

  int ComputerLevel() const { return computer_ ? computer_->Level() : 0; }

  void StartCommand(Time now);
  void Key(bool down, int32_t code, Time now);
  // Runs the ticks and controller repeats due at `now`; returns the ticks run.
  int Frame(Time now);
  // One timer firing, as kavarin-replay's "tick" runs it, whatever the clock says.
  void FireTimer();

  ControllerKeys& Controllers() { return controllers_; }
  const Simulation& Sim() const { return sim_; }
  bool Running() const { return match_.Running(); }
  LocalRecord& Record() { return record_; }

  // The canvas's pixels, 400 × 300 RGBA, brought up to date where the game drew since the last
  // call; `changed` gets the rectangle (x, y, width, height), empty when nothing changed.
  const uint8_t* TakeChanged(std::array<int32_t, 4>& changed);
  // The newest cue played since the last call, as its index in the cue table, or -1.
  int TakeCue();

  void PolylineDrawn(Color pen, std::span<const Point> points) override;
  void FieldCleared() override;
  void CuePlayed(std::string_view name) override;
  void IntervalSet(TimerId timer, int32_t interval) override;

 private:
  void ApplyComputer();
  void Grow(int32_t left, int32_t top, int32_t right, int32_t bottom);

  Simulation sim_;
  Match match_;
  TickSchedule schedule_;
  ControllerKeys controllers_;
  LocalRecord record_;
  std::unique_ptr<ComputerPlayer> computer_;
  Time now_{};
  // What the game drew since the canvas was last brought up to date, as right/bottom exclusive.
  int32_t left_ = 0, top_ = 0, right_ = 0, bottom_ = 0;
  int cue_ = -1;
  std::array<uint8_t, FieldWidth * FieldHeight * 4> rgba_{};
};

}  // namespace kavarin

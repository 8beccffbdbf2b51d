#pragma once

#include <memory>
#include <string>

#include "app/input_sink.h"
#include "app/main_window.h"
#include "app/offline_record.h"
#include "computer/computer_player.h"

namespace kavarin {

// Playing against the computer in the window: the computer flies the right ship, and the player
// flies the left one from the whole keyboard and the game controllers (the right player's keys
// act as the left player's). The window's own match, timers, menus and dialogs work as offline;
// the computer's keys go to the game before every tick, and it never presses Space to continue.
// Its seed is fresh for every game, so that no two games go alike; the record holds its keys, so
// it replays without it. With a record file, everything the game got is written there when the
// window closes.
class ComputerMatch final : public InputSink, public TForm1::TickWatcher {
 public:
  ComputerMatch(TForm1& form, int level, std::string record);
  ~ComputerMatch() override;

  void KeyDown(int32_t code) override;
  void KeyUp(int32_t code) override;
  void StartCommand() override;
  // Around every tick of the window's match.
  void BeforeTick() override;
  void AfterTick() override;

  // Writes the record, if one was asked for; returns false and says why in `error` on failure.
  bool WriteRecordFile(std::string& error);

 private:
  void Apply(std::span<const KeyEvent> events);

  TForm1& form_;
  ComputerPlayer computer_;
  std::string recordPath_;
  OfflineRecord record_;
};

}  // namespace kavarin

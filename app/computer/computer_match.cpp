#include "app/computer/computer_match.h"

#include "app/computer/computer_texts.h"
#include "app/main_window.h"
#include "files/record_file.h"
#include "match/keys.h"
#include "match/resets.h"
#include "online/own_ship_keys.h"
#include "online/session.h"

namespace kavarin {

ComputerMatch::ComputerMatch(TForm1& form, int level, std::string record)
    : form_(form), computer_(Side::Right, level, FreshSeed()), recordPath_(std::move(record)) {
  form_.setWindowTitle(ComputerTitle(computer_.Level()));
}

ComputerMatch::~ComputerMatch() = default;

// The player flies the left ship whichever side's keys they use; the right ship's are the
// computer's.
void ComputerMatch::KeyDown(int32_t code) {
  const auto own = ForOwnShip(Player::Host, {EventKind::KeyDown, static_cast<uint16_t>(code)});
  if (!own) return;
  record_.KeyDown(own->key);
  FormKeyDown(form_.Game(), own->key);
  form_.View().Flush();
}

void ComputerMatch::KeyUp(int32_t code) {
  const auto own = ForOwnShip(Player::Host, {EventKind::KeyUp, static_cast<uint16_t>(code)});
  if (!own) return;
  record_.KeyUp(own->key);
  FormKeyUp(form_.Game(), own->key);
}

void ComputerMatch::StartCommand() {
  record_.Start();
  Start(form_.Game());
  form_.View().Flush();
}

void ComputerMatch::Apply(std::span<const KeyEvent> events) {
  Match& game = form_.Game();
  for (const KeyEvent& e : events) {
    if (e.down) {
      record_.KeyDown(e.key);
      FormKeyDown(game, e.key);
    } else {
      record_.KeyUp(e.key);
      FormKeyUp(game, e.key);
    }
  }
}

void ComputerMatch::BeforeTick() {
  const Match& game = form_.Game();
  Apply(computer_.Frame(game.state, game.timers));
  if (game.Running()) record_.Tick();
}

// Once a tick has stopped play, the computer lets go of its keys.
void ComputerMatch::AfterTick() {
  const Match& game = form_.Game();
  if (!game.Running()) Apply(computer_.Frame(game.state, game.timers));
}

bool ComputerMatch::WriteRecordFile(std::string& error) {
  if (recordPath_.empty()) return true;
  return WriteRecord(recordPath_, record_.Script(), error);
}

}  // namespace kavarin

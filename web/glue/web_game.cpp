#include "web/glue/web_game.h"

#include <algorithm>

#include "match/keys.h"
#include "match/resets.h"
#include "match/tick.h"
#include "online/own_ship_keys.h"
#include "tools/soundgen/synth.h"

namespace kavarin {
namespace {

// How a held face button repeats. The page cannot ask the system for its keyboard's repeat, so
// it uses the common desktop default: half a second, then 30 a second.
constexpr KeyRepeat PadRepeat{std::chrono::milliseconds(500), std::chrono::nanoseconds(33333333)};

}  // namespace

WebGame::WebGame(int computerLevel, uint64_t computerSeed)
    : match_(sim_, *this),
      controllers_([this](bool down, int32_t code) { Key(down, code, now_); }, PadRepeat) {
  if (computerLevel > 0)
    computer_ = std::make_unique<ComputerPlayer>(Side::Right, computerLevel, computerSeed);
  FormCreate(match_);
  for (size_t i = 3; i < rgba_.size(); i += 4) rgba_[i] = 255;
}

WebGame::~WebGame() = default;

void WebGame::StartCommand(Time now) {
  now_ = now;
  record_.Start();
  Start(match_);
}

void WebGame::Key(bool down, int32_t code, Time now) {
  now_ = now;
  if (computer_) {
    // The right ship is the computer's: either player's keys fly the left one.
    const auto own = ForOwnShip(
        Player::Host, {down ? EventKind::KeyDown : EventKind::KeyUp, static_cast<uint16_t>(code)});
    if (!own) return;
    code = own->key;
  }
  if (down) {
    record_.KeyDown(code);
    FormKeyDown(match_, code);
  } else {
    record_.KeyUp(code);
    FormKeyUp(match_, code);
  }
}

int WebGame::Frame(Time now) {
  now_ = now;
  controllers_.RunDue(now);
  return schedule_.RunDue(now, [this] { FireTimer(); });
}

void WebGame::FireTimer() {
  if (!match_.Running()) return;
  ApplyComputer();
  if (!match_.Running()) return;
  record_.Tick();
  Timer2Timer(match_);
  // Once a tick has stopped play, the computer lets go of its keys.
  if (!match_.Running()) ApplyComputer();
}

void WebGame::ApplyComputer() {
  if (!computer_) return;
  for (const KeyEvent& e : computer_->Frame(sim_.state, sim_.timers)) {
    if (e.down) {
      record_.KeyDown(e.key);
      FormKeyDown(match_, e.key);
    } else {
      record_.KeyUp(e.key);
      FormKeyUp(match_, e.key);
    }
  }
}

void WebGame::Grow(int32_t left, int32_t top, int32_t right, int32_t bottom) {
  left = std::max(left, 0);
  top = std::max(top, 0);
  right = std::min(right, FieldWidth);
  bottom = std::min(bottom, FieldHeight);
  if (left >= right || top >= bottom) return;
  if (left_ >= right_) {
    left_ = left, top_ = top, right_ = right, bottom_ = bottom;
    return;
  }
  left_ = std::min(left_, left);
  top_ = std::min(top_, top);
  right_ = std::max(right_, right);
  bottom_ = std::max(bottom_, bottom);
}

void WebGame::PolylineDrawn(Color, std::span<const Point> points) {
  if (points.empty()) return;
  int32_t left = points[0].x, top = points[0].y, right = left, bottom = top;
  for (const Point& p : points) {
    left = std::min(left, p.x);
    top = std::min(top, p.y);
    right = std::max(right, p.x);
    bottom = std::max(bottom, p.y);
  }
  Grow(left, top, right + 1, bottom + 1);
}

void WebGame::FieldCleared() {
  Grow(0, 0, FieldWidth, FieldHeight);
}

void WebGame::CuePlayed(std::string_view name) {
  for (size_t i = 0; i < std::size(soundgen::Cues); ++i)
    if (soundgen::Cues[i].name == name) cue_ = static_cast<int>(i);
}

void WebGame::IntervalSet(TimerId timer, int32_t interval) {
  schedule_.SetInterval(timer, interval, now_);
}

const uint8_t* WebGame::TakeChanged(std::array<int32_t, 4>& changed) {
  changed = {left_, top_, right_ - left_, bottom_ - top_};
  for (int32_t y = top_; y < bottom_; ++y) {
    const uint8_t* from = sim_.field.Pixels() + y * FieldWidth;
    uint8_t* to = rgba_.data() + (y * FieldWidth) * 4;
    for (int32_t x = left_; x < right_; ++x) to[4 * x] = to[4 * x + 1] = to[4 * x + 2] = from[x];
  }
  left_ = top_ = right_ = bottom_ = 0;
  return rgba_.data();
}

int WebGame::TakeCue() {
  const int cue = cue_;
  cue_ = -1;
  return cue;
}

}  // namespace kavarin

#include "web/glue/local_record.h"

namespace kavarin {
namespace {

constexpr const char* Header = "# Kavarin match played in the browser\n";

std::string TickLine(int64_t ticks) {
  return ticks == 1 ? "tick\n" : "tick " + std::to_string(ticks) + "\n";
}

}  // namespace

LocalRecord::LocalRecord() : lines_(Header), shownLines_(lines_.size()) {}

void LocalRecord::Line(const std::string& line) {
  if (ticks_ > 0) lines_ += TickLine(ticks_);
  ticks_ = 0;
  lines_ += line;
}

void LocalRecord::KeyDown(int32_t code) {
  Line("down " + std::to_string(code) + "\n");
}

void LocalRecord::KeyUp(int32_t code) {
  Line("up " + std::to_string(code) + "\n");
}

void LocalRecord::Start() {
  Line("start\n");
}

void LocalRecord::Tick() {
  ++ticks_;
}

void LocalRecord::MarkShown() {
  shownLines_ = lines_.size();
  shownTicks_ = ticks_;
}

std::string LocalRecord::Shown() const {
  std::string shown = lines_.substr(0, shownLines_);
  if (shownTicks_ > 0) shown += TickLine(shownTicks_);
  return shown + "state\n";
}

}  // namespace kavarin

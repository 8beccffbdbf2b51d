#include "app/offline_record.h"

namespace kavarin {

void OfflineRecord::Line(const std::string& line) {
  if (ticks_ > 0) text_ += "tick " + std::to_string(ticks_) + "\n";
  ticks_ = 0;
  text_ += line + "\n";
}

std::string OfflineRecord::Script() const {
  std::string script = text_;
  if (ticks_ > 0) script += "tick " + std::to_string(ticks_) + "\n";
  return script + "state\n";
}

}  // namespace kavarin

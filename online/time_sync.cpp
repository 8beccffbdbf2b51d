#include "online/time_sync.h"

#include <algorithm>
#include <cmath>

#include "online/protocol.h"

namespace kavarin {

void RoundTrip::Sample(int64_t us) {
  recent_[static_cast<size_t>(samples_ % static_cast<int>(recent_.size()))] =
      std::max<int64_t>(us, 0);
  ++samples_;
}

int RoundTrip::Ms() const {
  if (samples_ == 0) return -1;
  const int n = std::min<int>(samples_, static_cast<int>(recent_.size()));
  int64_t sum = 0;
  for (int i = 0; i < n; ++i) sum += recent_[static_cast<size_t>(i)];
  return static_cast<int>(sum / n / 1000);
}

int InputDelayFor(int roundTripMs) {
  if (roundTripMs <= 0) return 0;
  const double oneWayFrames = roundTripMs * 1000.0 / 2.0 / FrameUs;
  return std::clamp(static_cast<int>(std::lround(oneWayFrames)), 0, MaxInputDelay);
}

void FrameClockSync::Heard(int64_t localFrame, int64_t remoteFrame, int8_t remoteAdvantage,
                           int roundTripMs) {
  const double trip = roundTripMs > 0 ? roundTripMs * 1000.0 / 2.0 / FrameUs : 0.0;
  const size_t at = static_cast<size_t>(samples_ % Window);
  local_[at] = static_cast<double>(localFrame - remoteFrame) - trip;
  remote_[at] = remoteAdvantage;
  ++samples_;
}

int8_t FrameClockSync::Advantage() const {
  if (samples_ == 0) return 0;
  const int n = std::min(samples_, Window);
  double sum = 0;
  for (int i = 0; i < n; ++i) sum += local_[static_cast<size_t>(i)];
  return static_cast<int8_t>(
      std::clamp<long>(std::lround(sum / n), long{-MaxAdvantage}, long{MaxAdvantage}));
}

bool FrameClockSync::ShouldWait() {
  ++sinceWait_;
  if (samples_ < Window / 2 || sinceWait_ < FramesBetweenWaits) return false;
  const int n = std::min(samples_, Window);
  double local = 0;
  double remote = 0;
  for (int i = 0; i < n; ++i) {
    local += local_[static_cast<size_t>(i)];
    remote += remote_[static_cast<size_t>(i)];
  }
  if ((local - remote) / n / 2.0 < 1.0) return false;
  sinceWait_ = 0;
  return true;
}

}  // namespace kavarin

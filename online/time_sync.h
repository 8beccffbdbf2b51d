#pragma once

#include <array>
#include <cstdint>

namespace kavarin {

// One frame: 50/3 ms, in microseconds.
constexpr double FrameUs = 50'000.0 / 3.0;

// The round trip to the other machine, measured with pings.
class RoundTrip {
 public:
  void Sample(int64_t us);
  // The mean of the recent samples in milliseconds, or -1 before the first.
  int Ms() const;
  int Samples() const { return samples_; }

 private:
  std::array<int64_t, 8> recent_{};
  int samples_ = 0;
};

// The longest input delay, in frames.
inline constexpr int MaxInputDelay = 3;

// The input delay that keeps rollbacks short: about the one-way trip in frames, 0 to
// MaxInputDelay.
int InputDelayFor(int roundTripMs);

// Keeps two machines' frame clocks together. Each machine estimates how many frames it is ahead
// of the other (its frame less the other's frame as last heard, plus half a round trip) and tells
// the other its estimate. Half the difference of the two estimates is how far ahead this machine
// really is, whatever the trip takes; when that is a frame or more, it waits one frame, at most
// once in a while so that the picture never stalls.
class FrameClockSync {
 public:
  void Heard(int64_t localFrame, int64_t remoteFrame, int8_t remoteAdvantage, int roundTripMs);
  // This machine's estimate of its lead, as sent to the other.
  int8_t Advantage() const;
  // Called once per frame time before simulating; true means wait this one.
  bool ShouldWait();

 private:
  static constexpr int Window = 32;
  static constexpr int FramesBetweenWaits = 20;
  std::array<double, Window> local_{};
  std::array<double, Window> remote_{};
  int samples_ = 0;
  int sinceWait_ = 0;
};

}  // namespace kavarin

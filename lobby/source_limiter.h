#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "online/udp_address.h"

namespace kavarin {

// Who sent a datagram, for counting: an IPv4 address, or an IPv6 address's /64 (what one home
// network gets), whatever the port.
using SourceKey = std::array<uint8_t, 16>;
SourceKey SourceOf(const UdpAddress& from);

// A token bucket per source in a table of fixed size, so that no flood of sources can grow it:
// a source new to a full set of the table takes the place of the one heard from longest ago.
// Sets are picked by a keyed hash with a key of the run's own, so that no one can aim many
// sources at one set.
class SourceLimiter {
 public:
  using Clock = std::chrono::steady_clock;
  // `perSecond` tokens a second, at most `burst` saved up; `slots` a multiple of the ways.
  SourceLimiter(double perSecond, double burst, size_t slots);
  // Whether `source` may be answered now; takes a token when it may.
  bool Allow(const SourceKey& source, Clock::time_point now);
  size_t Tracked() const { return tracked_; }
  size_t Capacity() const { return slots_.size(); }

 private:
  static constexpr size_t Ways = 8;
  struct Slot {
    SourceKey key{};
    double tokens = 0;
    Clock::time_point last{};
    bool used = false;
  };
  double perSecond_, burst_;
  std::vector<Slot> slots_;
  std::array<uint8_t, 16> hashKey_{};
  size_t tracked_ = 0;
};

// One bucket for everyone.
class TokenBucket {
 public:
  using Clock = std::chrono::steady_clock;
  TokenBucket(double perSecond, double burst)
      : perSecond_(perSecond), burst_(burst), tokens_(burst) {}
  // Whether a token is there now, without taking it.
  bool Has(Clock::time_point now);
  void Take() { tokens_ -= 1; }

 private:
  double perSecond_, burst_, tokens_;
  Clock::time_point last_{};
  bool started_ = false;
};

}  // namespace kavarin

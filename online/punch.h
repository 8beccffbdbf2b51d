#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <span>

namespace kavarin {

// What a host met through the lobby sends to the guest's addresses until the guest is linked:
// its own router, seeing us send there, lets the guest's knocks in. A few bytes, smaller than
// anything the lobby or the guest sent us, with a mark the connect gate takes for nothing.
constexpr std::array<uint8_t, 4> PunchDatagram{'K', 'v', 'P', 'h'};
constexpr auto PunchEvery = std::chrono::milliseconds(250);

inline bool IsPunch(std::span<const uint8_t> datagram) {
  return datagram.size() == PunchDatagram.size() &&
         std::equal(datagram.begin(), datagram.end(), PunchDatagram.begin());
}

}  // namespace kavarin

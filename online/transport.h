#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace kavarin {

// The largest datagram a link sends or takes. No datagram of ours comes near it; anything larger
// is not ours.
inline constexpr size_t MaxLinkDatagram = 4096;

// How a session reaches the other machine: whole datagrams, sent and forgotten, that may arrive
// late, twice, out of order or not at all. The session does its own resending.
class Transport {
 public:
  virtual ~Transport() = default;
  virtual void Send(std::span<const uint8_t> datagram) = 0;
  // The next datagram that has arrived from the other machine, if any. Anything from elsewhere is
  // the transport's to drop.
  virtual bool Receive(std::vector<uint8_t>& datagram) = 0;
};

}  // namespace kavarin

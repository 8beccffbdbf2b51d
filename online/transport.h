#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace kavarin {

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

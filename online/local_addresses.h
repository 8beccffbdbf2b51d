#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "online/udp_address.h"

namespace kavarin {

// This machine's own addresses of `family` on its interfaces that are up, loopback left out, each
// with `port`: where a player on the same network reaches us, when its router will not turn a
// datagram for our public address back inside. At most `limit`.
std::vector<UdpAddress> LocalAddresses(int family, uint16_t port, size_t limit);

}  // namespace kavarin

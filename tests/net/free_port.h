#pragma once

#include <cstdint>
#include <string>

#include "online/enet_transport.h"

namespace kavarin {

// A UDP port free on loopback a moment ago, for a host that must be told its port before it
// opens: a host is opened on any port and closed again. 0, with `error` set, if none opened.
inline uint16_t FreeLoopbackPort(std::string& error) {
  const auto probe = EnetTransport::Listen(0, error, "127.0.0.1");
  return probe ? probe->Port() : 0;
}

}  // namespace kavarin

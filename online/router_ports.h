#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

namespace kavarin {

// What the home router said when asked to forward the host's UDP port.
enum class RouterAnswer {
  Asking,   // still asking (UPnP discovery alone takes about 2 s)
  Mapped,   // the router forwards `external` to this machine
  Refused,  // a router answered, and would not forward the port
  Silent,   // nothing on the network answered UPnP IGD or NAT-PMP
};

struct RouterStatus {
  RouterAnswer answer = RouterAnswer::Asking;
  std::string protocol;  // "UPnP IGD" or "NAT-PMP", once one answered
  std::string external;  // "address:port" the world reaches, when mapped
  std::string why;       // the router's reason, when refused
  int64_t tookMs = 0;    // from the start to the answer
};

// The line a headless host prints once the router has answered.
std::string RouterLine(const RouterStatus& status);

// Asks the router, on a thread of its own, to forward a UDP port to this machine: NAT-PMP first
// (one datagram to the default gateway, answered at once when spoken), then UPnP IGD. The
// mapping is leased, not permanent, so that a machine that dies leaves nothing behind for long;
// the lease is renewed at half its length while this lives. Close (or the destructor) removes
// the mapping; it waits for a discovery under way, at most about 2 s.
class RouterPorts {
 public:
  explicit RouterPorts(uint16_t port, std::chrono::seconds lease = std::chrono::hours(1));
  ~RouterPorts();
  RouterPorts(const RouterPorts&) = delete;
  RouterPorts& operator=(const RouterPorts&) = delete;

  RouterStatus Status() const;
  void Close();

 private:
  void Run();
  bool Stopping();
  void Settle(RouterStatus status);

  const uint16_t port_;
  const std::chrono::seconds lease_;
  mutable std::mutex mutex_;
  std::condition_variable stop_;
  bool stopping_ = false;
  RouterStatus status_;
  std::thread thread_;
};

}  // namespace kavarin

#include "online/router_ports.h"

#include <arpa/inet.h>
#include <miniupnpc/miniupnpc.h>
#include <miniupnpc/upnpcommands.h>
#include <miniupnpc/upnperrors.h>
// libnatpmp declares its error texts only when asked.
#define ENABLE_STRNATPMPERR
#include <natpmp.h>
#include <poll.h>

#include <algorithm>
#include <utility>

namespace kavarin {

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr const char* Description = "Kavarin";
// A gateway that speaks NAT-PMP answers within milliseconds; one that does not is left after
// this, and UPnP is tried.
constexpr milliseconds NatPmpPatience{1000};
// How long UPnP discovery listens for routers.
constexpr int DiscoveryMs = 2000;

// One attempt's outcome.
struct Attempt {
  RouterAnswer answer = RouterAnswer::Silent;
  std::string external;
  std::string why;
};

// What one protocol holds while the mapping stands: enough to renew and to remove it.
struct Held {
  enum class Via { None, NatPmp, Upnp } via = Via::None;
  natpmp_t pmp{};
  bool pmpOpen = false;
  UPNPUrls urls{};
  IGDdatas data{};
  bool urlsHeld = false;
  char lan[64] = {};
  uint32_t grantedSeconds = 0;

  Held() = default;
  Held(const Held&) = delete;
  Held& operator=(const Held&) = delete;
  ~Held() {
    if (pmpOpen) closenatpmp(&pmp);
    if (urlsHeld) FreeUPNPUrls(&urls);
  }
};

// The answer to the NAT-PMP request just sent, or NATPMP_TRYAGAIN once `deadline` passes.
int NatPmpAnswer(natpmp_t& n, natpmpresp_t& response, Clock::time_point deadline) {
  for (;;) {
    const int code = readnatpmpresponseorretry(&n, &response);
    if (code != NATPMP_TRYAGAIN) return code;
    const auto left = std::chrono::duration_cast<milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) return NATPMP_TRYAGAIN;
    timeval retry{};
    getnatpmprequesttimeout(&n, &retry);
    const int64_t retryMs = retry.tv_sec * 1000 + retry.tv_usec / 1000;
    pollfd watched{n.s, POLLIN, 0};
    ::poll(&watched, 1, static_cast<int>(std::clamp<int64_t>(retryMs, 1, left.count())));
  }
}

// The gateway answered, with a result code of its own: it speaks NAT-PMP and said no.
bool NatPmpDeclined(int code) {
  return code == NATPMP_ERR_UNSUPPORTEDVERSION || code == NATPMP_ERR_UNSUPPORTEDOPCODE ||
         code == NATPMP_ERR_UNDEFINEDERROR || code == NATPMP_ERR_NOTAUTHORIZED ||
         code == NATPMP_ERR_NETWORKFAILURE || code == NATPMP_ERR_OUTOFRESOURCES;
}

int NatPmpMap(Held& held, uint16_t port, uint32_t seconds, natpmpresp_t& response) {
  if (sendnewportmappingrequest(&held.pmp, NATPMP_PROTOCOL_UDP, port, port, seconds) < 0)
    return NATPMP_ERR_SENDERR;
  return NatPmpAnswer(held.pmp, response, Clock::now() + NatPmpPatience);
}

Attempt AskNatPmp(Held& held, uint16_t port, uint32_t seconds) {
  Attempt a;
  if (initnatpmp(&held.pmp, 0, 0) < 0) return a;  // no default gateway
  held.pmpOpen = true;
  natpmpresp_t response{};
  if (sendpublicaddressrequest(&held.pmp) < 0) return a;
  int code = NatPmpAnswer(held.pmp, response, Clock::now() + NatPmpPatience);
  if (code < 0) {
    if (NatPmpDeclined(code)) a = {RouterAnswer::Refused, "", strnatpmperr(code)};
    return a;
  }
  char address[INET_ADDRSTRLEN] = {};
  ::inet_ntop(AF_INET, &response.pnu.publicaddress.addr, address, sizeof address);
  code = NatPmpMap(held, port, seconds, response);
  if (code < 0) return {RouterAnswer::Refused, "", strnatpmperr(code)};
  if (response.pnu.newportmapping.mappedpublicport == 0)
    return {RouterAnswer::Refused, "", "no port given"};
  held.via = Held::Via::NatPmp;
  held.grantedSeconds = response.pnu.newportmapping.lifetime;
  return {RouterAnswer::Mapped,
          std::string(address) + ":" + std::to_string(response.pnu.newportmapping.mappedpublicport),
          ""};
}

int UpnpMap(Held& held, uint16_t port, uint32_t seconds) {
  const std::string p = std::to_string(port);
  const std::string lease = std::to_string(seconds);
  return UPNP_AddPortMapping(held.urls.controlURL, held.data.first.servicetype, p.c_str(),
                             p.c_str(), held.lan, Description, "UDP", nullptr, lease.c_str());
}

Attempt AskUpnp(Held& held, uint16_t port, uint32_t seconds) {
  Attempt a;
  int error = 0;
  // Every kind of gateway is searched for at once: one after the other, a network without one
  // would take the whole wait for each.
  static const char* const kinds[] = {"urn:schemas-upnp-org:device:InternetGatewayDevice:1",
                                      "urn:schemas-upnp-org:device:InternetGatewayDevice:2",
                                      "urn:schemas-upnp-org:service:WANIPConnection:1",
                                      "urn:schemas-upnp-org:service:WANPPPConnection:1", nullptr};
  UPNPDev* found = upnpDiscoverDevices(kinds, DiscoveryMs, nullptr, nullptr, UPNP_LOCAL_PORT_ANY, 0,
                                       2, &error, 1);
  if (!found) return a;
  const int igd = UPNP_GetValidIGD(found, &held.urls, &held.data, held.lan, sizeof held.lan);
  freeUPNPDevlist(found);
  if (igd == 0) return a;
  held.urlsHeld = true;
  if (igd == 3) return a;  // a UPnP device, but no gateway
  char external[64] = {};
  if (UPNP_GetExternalIPAddress(held.urls.controlURL, held.data.first.servicetype, external) !=
      UPNPCOMMAND_SUCCESS)
    external[0] = '\0';
  // A router that grants only permanent mappings is refused in turn: one left by a machine that
  // died would stay open for good.
  const int code = UpnpMap(held, port, seconds);
  if (code != UPNPCOMMAND_SUCCESS) return {RouterAnswer::Refused, "", strupnperror(code)};
  held.via = Held::Via::Upnp;
  held.grantedSeconds = seconds;
  return {RouterAnswer::Mapped,
          (external[0] ? std::string(external) : std::string("?")) + ":" + std::to_string(port),
          ""};
}

bool Renew(Held& held, uint16_t port, uint32_t seconds) {
  if (held.via == Held::Via::Upnp) return UpnpMap(held, port, seconds) == UPNPCOMMAND_SUCCESS;
  natpmpresp_t response{};
  if (NatPmpMap(held, port, seconds, response) < 0) return false;
  held.grantedSeconds = response.pnu.newportmapping.lifetime;
  return true;
}

void Remove(Held& held, uint16_t port) {
  if (held.via == Held::Via::Upnp) {
    const std::string p = std::to_string(port);
    UPNP_DeletePortMapping(held.urls.controlURL, held.data.first.servicetype, p.c_str(), "UDP",
                           nullptr);
  } else if (held.via == Held::Via::NatPmp) {
    // A lifetime of 0 removes the mapping.
    natpmpresp_t response{};
    if (sendnewportmappingrequest(&held.pmp, NATPMP_PROTOCOL_UDP, port, 0, 0) >= 0)
      NatPmpAnswer(held.pmp, response, Clock::now() + NatPmpPatience);
  }
  held.via = Held::Via::None;
}

}  // namespace

std::string RouterLine(const RouterStatus& s) {
  switch (s.answer) {
    case RouterAnswer::Asking:
      return "asking the router to forward the port";
    case RouterAnswer::Mapped:
      return "the router forwards " + s.external + " here (" + s.protocol + ", " +
             std::to_string(s.tookMs) + " ms)";
    case RouterAnswer::Refused:
      return "the router refused to forward the port (" + s.protocol + ": " + s.why + ")";
    case RouterAnswer::Silent:
      break;
  }
  return "no router answered UPnP IGD or NAT-PMP; the port is not forwarded";
}

RouterPorts::RouterPorts(uint16_t port, std::chrono::seconds lease)
    : port_(port), lease_(lease), thread_([this] { Run(); }) {}

RouterPorts::~RouterPorts() {
  Close();
}

RouterStatus RouterPorts::Status() const {
  std::lock_guard lock(mutex_);
  return status_;
}

void RouterPorts::Close() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  stop_.notify_all();
  if (thread_.joinable()) thread_.join();
}

bool RouterPorts::Stopping() {
  std::lock_guard lock(mutex_);
  return stopping_;
}

void RouterPorts::Settle(RouterStatus status) {
  std::lock_guard lock(mutex_);
  status_ = std::move(status);
}

void RouterPorts::Run() {
  const auto start = Clock::now();
  const auto seconds = static_cast<uint32_t>(lease_.count());
  Held held;
  RouterStatus status;
  Attempt pmp = AskNatPmp(held, port_, seconds);
  Attempt got = pmp;
  status.protocol = "NAT-PMP";
  if (pmp.answer != RouterAnswer::Mapped && !Stopping()) {
    Attempt upnp = AskUpnp(held, port_, seconds);
    // A refusal from either is worth telling over the other's silence.
    if (upnp.answer != RouterAnswer::Silent || pmp.answer == RouterAnswer::Silent) {
      got = std::move(upnp);
      status.protocol = "UPnP IGD";
    }
  }
  status.answer = got.answer;
  status.external = got.external;
  status.why = got.why;
  if (got.answer == RouterAnswer::Silent) status.protocol.clear();
  status.tookMs = std::chrono::duration_cast<milliseconds>(Clock::now() - start).count();
  Settle(status);

  std::unique_lock lock(mutex_);
  while (held.via != Held::Via::None && !stopping_) {
    // Renewed at half the lease the router granted, so that it never lapses while playing.
    const auto every = std::chrono::seconds(
        std::max<uint32_t>(1, std::min(seconds, std::max<uint32_t>(held.grantedSeconds, 2)) / 2));
    if (stop_.wait_for(lock, every, [this] { return stopping_; })) break;
    lock.unlock();
    Renew(held, port_, seconds);
    lock.lock();
  }
  lock.unlock();
  Remove(held, port_);
}

}  // namespace kavarin

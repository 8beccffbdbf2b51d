#include "online/local_addresses.h"

#include <ifaddrs.h>
#include <net/if.h>

#include <algorithm>

namespace kavarin {

std::vector<UdpAddress> LocalAddresses(int family, uint16_t port, size_t limit) {
  std::vector<UdpAddress> found;
  ifaddrs* list = nullptr;
  if (getifaddrs(&list) != 0) return found;
  for (const ifaddrs* i = list; i != nullptr && found.size() < limit; i = i->ifa_next) {
    if (i->ifa_addr == nullptr || i->ifa_addr->sa_family != family) continue;
    if ((i->ifa_flags & IFF_UP) == 0 || (i->ifa_flags & IFF_LOOPBACK) != 0) continue;
    sockaddr_storage s{};
    const size_t size = family == AF_INET ? sizeof(sockaddr_in) : sizeof(sockaddr_in6);
    std::copy_n(reinterpret_cast<const uint8_t*>(i->ifa_addr), size,
                reinterpret_cast<uint8_t*>(&s));
    const std::optional<UdpAddress> a = UdpAddress::From(s);
    // Link-local IPv6 needs a scope the other machine cannot know.
    if (!a || (family == AF_INET6 &&
               IN6_IS_ADDR_LINKLOCAL(&reinterpret_cast<sockaddr_in6&>(s).sin6_addr)))
      continue;
    const UdpAddress at = a->WithPort(port);
    if (std::find(found.begin(), found.end(), at) == found.end()) found.push_back(at);
  }
  freeifaddrs(list);
  return found;
}

}  // namespace kavarin

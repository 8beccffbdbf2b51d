#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "online/link_seal.h"
#include "online/udp_address.h"

namespace kavarin {

// What a host lets through before a guest is connected. ENet answers a CONNECT with a
// VERIFY_CONNECT and sends it again and again until it is acknowledged, for seconds: anyone who
// forges a CONNECT from someone else's address would have the host send that address several
// times what was sent. So a guest first knocks: a datagram of KnockSize bytes with the public key
// of its pair for this link, which the host answers with one smaller datagram holding its own
// public key and a cookie made from the knocker's address, the knocker's key and a secret of the
// host's. The guest's first sealed datagrams carry the cookie and its key (see link_seal.h); one
// without the right cookie for its address and key is dropped before the host derives any key,
// and one that does not open never reaches ENet. Only someone who receives at an address can
// connect from it, and only with the key it knocked with.
constexpr size_t KnockSize = 64;

std::array<uint8_t, KnockSize> KnockDatagram(const PublicKey& guest);
// The guest's key in a knock.
std::optional<PublicKey> KnockKey(std::span<const uint8_t> datagram);

struct CookieAnswer {
  uint32_t cookie = 0;
  PublicKey hostKey{};
};
std::vector<uint8_t> CookieDatagram(const CookieAnswer& answer);
// A host's answer to a knock.
std::optional<CookieAnswer> CookieOf(std::span<const uint8_t> datagram);

using CookieKey = std::array<uint64_t, 2>;
CookieKey RandomCookieKey();
// The cookie for an address and port, IPv4 or IPv6, and the key a guest knocked with.
uint32_t AddressCookie(const CookieKey& key, const UdpAddress& from, const PublicKey& guest);

// SipHash-2-4: a keyed hash of short inputs that cannot be predicted without the key.
uint64_t SipHash24(const CookieKey& key, std::span<const uint8_t> message);

}  // namespace kavarin

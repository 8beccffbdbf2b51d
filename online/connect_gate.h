#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace kavarin {

// What a host lets through to ENet before a guest is connected. ENet answers a CONNECT with a
// VERIFY_CONNECT and sends it again and again until it is acknowledged, for seconds: anyone who
// forges a CONNECT from someone else's address would have the host send that address several
// times what was sent. So a guest first knocks: a datagram of KnockSize bytes, which the host
// answers with one smaller datagram holding a cookie made from the knocker's address and a
// secret of the host's. The guest's CONNECT carries the cookie in its data field; a CONNECT
// without the right cookie for its address never reaches ENet. Only someone who receives at an
// address can connect from it.
constexpr size_t KnockSize = 64;

std::array<uint8_t, KnockSize> KnockDatagram();
bool IsKnock(std::span<const uint8_t> datagram);
std::vector<uint8_t> CookieDatagram(uint32_t cookie);
// The cookie of a host's answer to a knock.
std::optional<uint32_t> CookieOf(std::span<const uint8_t> datagram);

// The data field of an ENet datagram that holds one CONNECT and nothing else.
std::optional<uint32_t> ConnectData(std::span<const uint8_t> datagram);

using CookieKey = std::array<uint64_t, 2>;
CookieKey RandomCookieKey();
// The cookie for an IPv4 address and port (both as ENet keeps them).
uint32_t AddressCookie(const CookieKey& key, uint32_t host, uint16_t port);
// The cookie for an IPv6 address (its 16 bytes in network order) and port.
uint32_t AddressCookie(const CookieKey& key, const std::array<uint8_t, 16>& host, uint16_t port);

// SipHash-2-4: a keyed hash of short inputs that cannot be predicted without the key.
uint64_t SipHash24(const CookieKey& key, std::span<const uint8_t> message);

}  // namespace kavarin

#include "online/connect_gate.h"

#include <enet/enet.h>

#include <algorithm>
#include <bit>
#include <cstddef>
#include <random>

namespace kavarin {

namespace {

// "KvNk" and "KvCk", then the gate's version.
constexpr std::array<uint8_t, 5> KnockStart = {'K', 'v', 'N', 'k', 1};
constexpr std::array<uint8_t, 5> CookieStart = {'K', 'v', 'C', 'k', 1};
constexpr size_t CookieSize = CookieStart.size() + 4;

bool StartsWith(std::span<const uint8_t> d, std::span<const uint8_t> start) {
  return d.size() >= start.size() && std::equal(start.begin(), start.end(), d.begin());
}

}  // namespace

std::array<uint8_t, KnockSize> KnockDatagram() {
  std::array<uint8_t, KnockSize> knock{};
  std::copy(KnockStart.begin(), KnockStart.end(), knock.begin());
  return knock;
}

bool IsKnock(std::span<const uint8_t> datagram) {
  return datagram.size() == KnockSize && StartsWith(datagram, KnockStart);
}

std::vector<uint8_t> CookieDatagram(uint32_t cookie) {
  std::vector<uint8_t> d(CookieStart.begin(), CookieStart.end());
  for (int i = 0; i < 4; ++i) d.push_back(static_cast<uint8_t>(cookie >> (8 * i)));
  return d;
}

std::optional<uint32_t> CookieOf(std::span<const uint8_t> datagram) {
  if (datagram.size() != CookieSize || !StartsWith(datagram, CookieStart)) return std::nullopt;
  uint32_t cookie = 0;
  for (int i = 0; i < 4; ++i) cookie |= uint32_t{datagram[CookieStart.size() + i]} << (8 * i);
  return cookie;
}

std::optional<uint32_t> ConnectData(std::span<const uint8_t> d) {
  // ENet's header: the peer id word, big-endian, with flags in its top bits, then the sending
  // time when that flag is set. A connecting guest has no peer id yet.
  if (d.size() < 2) return std::nullopt;
  const uint16_t word = static_cast<uint16_t>(d[0] << 8 | d[1]);
  if ((word & ENET_PROTOCOL_HEADER_FLAG_COMPRESSED) ||
      (word & ENET_PROTOCOL_MAXIMUM_PEER_ID) != ENET_PROTOCOL_MAXIMUM_PEER_ID)
    return std::nullopt;
  const size_t header = (word & ENET_PROTOCOL_HEADER_FLAG_SENT_TIME) ? sizeof(ENetProtocolHeader)
                                                                     : sizeof(enet_uint16);
  if (d.size() != header + sizeof(ENetProtocolConnect) ||
      (d[header] & ENET_PROTOCOL_COMMAND_MASK) != ENET_PROTOCOL_COMMAND_CONNECT)
    return std::nullopt;
  const size_t at = header + offsetof(ENetProtocolConnect, data);
  return uint32_t{d[at]} << 24 | uint32_t{d[at + 1]} << 16 | uint32_t{d[at + 2]} << 8 | d[at + 3];
}

CookieKey RandomCookieKey() {
  std::random_device device;
  CookieKey key{};
  for (uint64_t& k : key) k = uint64_t{device()} << 32 | device();
  return key;
}

uint32_t AddressCookie(const CookieKey& key, uint32_t host, uint16_t port) {
  std::array<uint8_t, 6> message{};
  for (int i = 0; i < 4; ++i)
    message[static_cast<size_t>(i)] = static_cast<uint8_t>(host >> (8 * i));
  message[4] = static_cast<uint8_t>(port);
  message[5] = static_cast<uint8_t>(port >> 8);
  return static_cast<uint32_t>(SipHash24(key, message));
}

uint32_t AddressCookie(const CookieKey& key, const std::array<uint8_t, 16>& host, uint16_t port) {
  // 18 bytes: never the message of an IPv4 address's cookie.
  std::array<uint8_t, 18> message{};
  std::copy(host.begin(), host.end(), message.begin());
  message[16] = static_cast<uint8_t>(port);
  message[17] = static_cast<uint8_t>(port >> 8);
  return static_cast<uint32_t>(SipHash24(key, message));
}

uint64_t SipHash24(const CookieKey& key, std::span<const uint8_t> m) {
  uint64_t v0 = 0x736f6d6570736575ULL ^ key[0];
  uint64_t v1 = 0x646f72616e646f6dULL ^ key[1];
  uint64_t v2 = 0x6c7967656e657261ULL ^ key[0];
  uint64_t v3 = 0x7465646279746573ULL ^ key[1];
  auto round = [&] {
    v0 += v1;
    v1 = std::rotl(v1, 13);
    v1 ^= v0;
    v0 = std::rotl(v0, 32);
    v2 += v3;
    v3 = std::rotl(v3, 16);
    v3 ^= v2;
    v0 += v3;
    v3 = std::rotl(v3, 21);
    v3 ^= v0;
    v2 += v1;
    v1 = std::rotl(v1, 17);
    v1 ^= v2;
    v2 = std::rotl(v2, 32);
  };
  auto word = [&](size_t at, size_t n) {
    uint64_t w = 0;
    for (size_t i = 0; i < n; ++i) w |= uint64_t{m[at + i]} << (8 * i);
    return w;
  };
  auto compress = [&](uint64_t w) {
    v3 ^= w;
    round();
    round();
    v0 ^= w;
  };
  size_t at = 0;
  for (; at + 8 <= m.size(); at += 8) compress(word(at, 8));
  compress(uint64_t{m.size() & 0xFF} << 56 | word(at, m.size() - at));
  v2 ^= 0xFF;
  for (int i = 0; i < 4; ++i) round();
  return v0 ^ v1 ^ v2 ^ v3;
}

}  // namespace kavarin

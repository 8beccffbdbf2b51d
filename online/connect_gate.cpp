#include "online/connect_gate.h"

#include <algorithm>
#include <bit>
#include <cstddef>
#include <random>

namespace kavarin {

namespace {

// "KvNk" and "KvCk", then the gate's version.
constexpr std::array<uint8_t, 5> KnockStart = {'K', 'v', 'N', 'k', 2};
constexpr std::array<uint8_t, 5> CookieStart = {'K', 'v', 'C', 'k', 2};
constexpr size_t CookieSize = CookieStart.size() + 4 + PublicKeySize;
static_assert(CookieSize < KnockSize, "an answer is smaller than its knock");
static_assert(KnockStart.size() + PublicKeySize <= KnockSize);

bool StartsWith(std::span<const uint8_t> d, std::span<const uint8_t> start) {
  return d.size() >= start.size() && std::equal(start.begin(), start.end(), d.begin());
}

}  // namespace

std::array<uint8_t, KnockSize> KnockDatagram(const PublicKey& guest) {
  std::array<uint8_t, KnockSize> knock{};
  std::copy(KnockStart.begin(), KnockStart.end(), knock.begin());
  std::copy(guest.begin(), guest.end(), knock.begin() + KnockStart.size());
  return knock;
}

std::optional<PublicKey> KnockKey(std::span<const uint8_t> datagram) {
  if (datagram.size() != KnockSize || !StartsWith(datagram, KnockStart)) return std::nullopt;
  PublicKey key;
  std::copy_n(datagram.begin() + KnockStart.size(), key.size(), key.begin());
  return key;
}

std::vector<uint8_t> CookieDatagram(const CookieAnswer& answer) {
  std::vector<uint8_t> d(CookieStart.begin(), CookieStart.end());
  for (int i = 0; i < 4; ++i) d.push_back(static_cast<uint8_t>(answer.cookie >> (8 * i)));
  d.insert(d.end(), answer.hostKey.begin(), answer.hostKey.end());
  return d;
}

std::optional<CookieAnswer> CookieOf(std::span<const uint8_t> datagram) {
  if (datagram.size() != CookieSize || !StartsWith(datagram, CookieStart)) return std::nullopt;
  CookieAnswer answer;
  for (int i = 0; i < 4; ++i)
    answer.cookie |= uint32_t{datagram[CookieStart.size() + i]} << (8 * i);
  std::copy_n(datagram.begin() + CookieStart.size() + 4, PublicKeySize, answer.hostKey.begin());
  return answer;
}

CookieKey RandomCookieKey() {
  std::random_device device;
  CookieKey key{};
  for (uint64_t& k : key) k = uint64_t{device()} << 32 | device();
  return key;
}

uint32_t AddressCookie(const CookieKey& key, const UdpAddress& from, const PublicKey& guest) {
  // The family first: an IPv4 address's message is never an IPv6 one's.
  std::vector<uint8_t> message{static_cast<uint8_t>(from.Family() == AF_INET6 ? 6 : 4)};
  if (from.Family() == AF_INET6) {
    const std::array<uint8_t, 16> host = from.V6Host();
    message.insert(message.end(), host.begin(), host.end());
  } else {
    const uint32_t host = from.V4Host();
    for (int i = 0; i < 4; ++i) message.push_back(static_cast<uint8_t>(host >> (8 * i)));
  }
  message.push_back(static_cast<uint8_t>(from.Port()));
  message.push_back(static_cast<uint8_t>(from.Port() >> 8));
  message.insert(message.end(), guest.begin(), guest.end());
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

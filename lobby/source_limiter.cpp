#include "lobby/source_limiter.h"

#include <sodium.h>

#include <algorithm>
#include <cstring>

namespace kavarin {

namespace {

// Tokens earned since `last`, up to `burst`.
double Refilled(double tokens, double perSecond, double burst,
                std::chrono::steady_clock::duration d) {
  const double seconds = std::chrono::duration<double>(d).count();
  return std::min(burst, tokens + std::max(0.0, seconds) * perSecond);
}

}  // namespace

SourceKey SourceOf(const UdpAddress& from) {
  SourceKey key{};
  if (from.Family() == AF_INET) {
    // As IPv4 is written in IPv6 (::ffff:a.b.c.d), which no /64 of a real IPv6 network is.
    key[10] = key[11] = 0xff;
    const uint32_t host = from.V4Host();
    std::memcpy(key.data() + 12, &host, sizeof host);
  } else {
    const std::array<uint8_t, 16> host = from.V6Host();
    std::copy(host.begin(), host.begin() + 8, key.begin());
  }
  return key;
}

SourceLimiter::SourceLimiter(double perSecond, double burst, size_t slots)
    : perSecond_(perSecond), burst_(burst), slots_(std::max(Ways, slots - slots % Ways)) {
  if (sodium_init() >= 0) randombytes_buf(hashKey_.data(), hashKey_.size());
}

bool SourceLimiter::Allow(const SourceKey& source, Clock::time_point now) {
  static_assert(crypto_shorthash_KEYBYTES == 16);
  uint64_t hash = 0;
  crypto_shorthash(reinterpret_cast<unsigned char*>(&hash), source.data(), source.size(),
                   hashKey_.data());
  const size_t sets = slots_.size() / Ways;
  Slot* set = &slots_[(hash % sets) * Ways];
  Slot* slot = nullptr;
  for (size_t i = 0; i < Ways && !slot; ++i)
    if (set[i].used && set[i].key == source) slot = &set[i];
  if (!slot) {
    slot = std::min_element(set, set + Ways, [](const Slot& a, const Slot& b) {
      return a.used != b.used ? !a.used : a.last < b.last;
    });
    if (!slot->used) ++tracked_;
    *slot = Slot{source, burst_, now, true};
  }
  slot->tokens = Refilled(slot->tokens, perSecond_, burst_, now - slot->last);
  slot->last = now;
  if (slot->tokens < 1) return false;
  slot->tokens -= 1;
  return true;
}

bool TokenBucket::Has(Clock::time_point now) {
  if (started_) tokens_ = Refilled(tokens_, perSecond_, burst_, now - last_);
  started_ = true;
  last_ = now;
  return tokens_ >= 1;
}

}  // namespace kavarin

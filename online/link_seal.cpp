#include "online/link_seal.h"

#include <sodium.h>

#include <algorithm>

namespace kavarin {

namespace {

constexpr uint16_t IntroFlag = 0x8000;
constexpr uint64_t CounterSpan = uint64_t{1} << CounterBits;

static_assert(crypto_kx_PUBLICKEYBYTES == PublicKeySize);
static_assert(crypto_kx_SECRETKEYBYTES == 32 && crypto_kx_SESSIONKEYBYTES == 32);
static_assert(crypto_aead_chacha20poly1305_ietf_ABYTES == SealTagSize);
static_assert(crypto_aead_chacha20poly1305_ietf_KEYBYTES == 32);

void PutWord(uint8_t* at, uint64_t w, int bytes) {
  for (int i = 0; i < bytes; ++i) at[i] = static_cast<uint8_t>(w >> (8 * i));
}

uint64_t Word(const uint8_t* at, int bytes) {
  uint64_t w = 0;
  for (int i = 0; i < bytes; ++i) w |= uint64_t{at[i]} << (8 * i);
  return w;
}

std::array<uint8_t, crypto_aead_chacha20poly1305_ietf_NPUBBYTES> Nonce(uint64_t counter) {
  std::array<uint8_t, crypto_aead_chacha20poly1305_ietf_NPUBBYTES> nonce{};
  PutWord(nonce.data(), counter, 8);
  return nonce;
}

}  // namespace

bool SealReady() {
  static const bool ready = sodium_init() >= 0;
  return ready;
}

KeyPair KeyPair::Random() {
  KeyPair pair;
  if (SealReady()) crypto_kx_keypair(pair.publicKey.data(), pair.secretKey.data());
  return pair;
}

KeyPair KeyPair::FromSeed(const std::array<uint8_t, 32>& seed) {
  KeyPair pair;
  if (SealReady())
    crypto_kx_seed_keypair(pair.publicKey.data(), pair.secretKey.data(), seed.data());
  return pair;
}

std::optional<LinkKeys> GuestKeys(const KeyPair& guest, const PublicKey& host) {
  LinkKeys keys;
  if (!SealReady() ||
      crypto_kx_client_session_keys(keys.receive.data(), keys.send.data(), guest.publicKey.data(),
                                    guest.secretKey.data(), host.data()) != 0)
    return std::nullopt;
  return keys;
}

std::optional<LinkKeys> HostKeys(const KeyPair& host, const PublicKey& guest) {
  LinkKeys keys;
  if (!SealReady() ||
      crypto_kx_server_session_keys(keys.receive.data(), keys.send.data(), host.publicKey.data(),
                                    host.secretKey.data(), guest.data()) != 0)
    return std::nullopt;
  return keys;
}

uint64_t ReplayWindow::Nearest(uint32_t low) const {
  const uint64_t expected = highest_ + 1;
  uint64_t c = (expected & ~(CounterSpan - 1)) | (low & (CounterSpan - 1));
  if (c + CounterSpan / 2 <= expected)
    c += CounterSpan;
  else if (c > expected + CounterSpan / 2 && c >= CounterSpan)
    c -= CounterSpan;
  return c;
}

bool ReplayWindow::Fresh(uint64_t counter) const {
  if (counter == 0) return false;
  if (counter > highest_) return true;
  const uint64_t back = highest_ - counter;
  if (back == 0 || back > ReplayWindowSize) return false;
  return (below_ >> (back - 1) & 1) == 0;
}

void ReplayWindow::Take(uint64_t counter) {
  if (counter > highest_) {
    const uint64_t step = counter - highest_;
    // The old highest becomes one of those below.
    below_ = step > ReplayWindowSize ? 0 : (step == ReplayWindowSize ? 0 : below_ << step);
    if (highest_ != 0 && step <= ReplayWindowSize) below_ |= uint64_t{1} << (step - 1);
    highest_ = counter;
  } else {
    below_ |= uint64_t{1} << (highest_ - counter - 1);
  }
}

std::optional<Introduction> IntroductionOf(std::span<const uint8_t> d) {
  if (d.size() < IntroHeader + SealTagSize || !(Word(d.data(), 2) & IntroFlag)) return std::nullopt;
  Introduction intro;
  intro.cookie = static_cast<uint32_t>(Word(d.data() + 2, 4));
  std::copy_n(d.data() + 6, PublicKeySize, intro.guestKey.begin());
  return intro;
}

LinkSeal::LinkSeal(const LinkKeys& keys, std::optional<Introduction> intro,
                   std::optional<PublicKey> guestKey)
    : keys_(keys), intro_(intro), guestKey_(guestKey) {}

void LinkSeal::Seal(std::span<const uint8_t> datagram, std::vector<uint8_t>& out) {
  const uint64_t counter = ++sent_;
  const size_t header = intro_ ? IntroHeader : SealedHeader;
  out.resize(header + datagram.size() + SealTagSize);
  uint8_t* at = out.data();
  PutWord(at, (counter & (CounterSpan - 1)) | (intro_ ? IntroFlag : 0), 2);
  if (intro_) {
    PutWord(at + 2, intro_->cookie, 4);
    std::copy(intro_->guestKey.begin(), intro_->guestKey.end(), at + 6);
  }
  const auto nonce = Nonce(counter);
  unsigned long long sealed = 0;
  // The header is authenticated with what it carries.
  crypto_aead_chacha20poly1305_ietf_encrypt(at + header, &sealed, datagram.data(), datagram.size(),
                                            at, header, nullptr, nonce.data(), keys_.send.data());
  out.resize(header + static_cast<size_t>(sealed));
}

bool LinkSeal::Open(std::span<const uint8_t> d, std::vector<uint8_t>& out) {
  if (d.size() < SealedHeader + SealTagSize) return false;
  const uint32_t word = static_cast<uint32_t>(Word(d.data(), 2));
  size_t header = SealedHeader;
  if (word & IntroFlag) {
    const std::optional<Introduction> intro = IntroductionOf(d);
    if (!guestKey_ || !intro || intro->guestKey != *guestKey_) return false;
    header = IntroHeader;
  }
  const uint64_t counter = window_.Nearest(word);
  if (!window_.Fresh(counter)) return false;
  const auto nonce = Nonce(counter);
  out.resize(d.size() - header - SealTagSize);
  unsigned long long opened = 0;
  if (crypto_aead_chacha20poly1305_ietf_decrypt(out.data(), &opened, nullptr, d.data() + header,
                                                d.size() - header, d.data(), header, nonce.data(),
                                                keys_.receive.data()) != 0)
    return false;
  out.resize(static_cast<size_t>(opened));
  window_.Take(counter);
  lastOpened_ = counter;
  // The host has the keys: the guest need not introduce itself again.
  intro_.reset();
  return true;
}

}  // namespace kavarin

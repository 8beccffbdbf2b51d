#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace kavarin {

// What keeps a link's datagrams the two machines' own once they have found each other. In the
// gate's handshake each side shows the other an X25519 public key of a pair made for this one
// link (the guest in its knock, the host in its answer), and each derives two keys from them, one
// for each direction. From then on every datagram either side puts on the network is sealed with
// ChaCha20-Poly1305 under its direction's key, and the other opens it or drops it: nobody without
// the key can forge, change or cut one. Each datagram carries its sender's counter, which goes up
// by one per datagram and never wraps (64 bits), as the nonce; the receiver takes a counter only
// above the highest it has opened, or one of the ReplayWindowSize just below it not seen before.
// So a datagram heard again, of any age, is dropped, and since nothing is remembered of one that
// does not open, it cannot move the window or keep out anything genuine.
//
// Only the counter's low 15 bits travel: the receiver takes the counter nearest above its
// highest with those bits. A datagram older than 16,384 of its sender's then stands for a counter
// it was not sealed with, and does not open: that is as dropped as a counter too old.
//
// A sealed datagram: two bytes, little-endian, of the counter's low bits with the top bit clear,
// then the sealed bytes and their 16-byte tag. Until the guest has opened one of the host's, its
// own set the top bit and carry after the two bytes the cookie of its knock and its public key
// (an introduction): the host keeps nothing per knock, so it learns from the datagram itself
// whose it is, and derives the keys only for one with the cookie of the sender's address and
// key.
inline constexpr size_t PublicKeySize = 32;
using PublicKey = std::array<uint8_t, PublicKeySize>;
inline constexpr size_t SealTagSize = 16;
inline constexpr size_t SealedHeader = 2;
inline constexpr size_t IntroHeader = 2 + 4 + PublicKeySize;
inline constexpr int CounterBits = 15;
// What a sealed datagram adds to what it carries.
inline constexpr size_t SealOverhead = SealedHeader + SealTagSize;
inline constexpr size_t ReplayWindowSize = 64;

// A key pair for one link.
struct KeyPair {
  PublicKey publicKey{};
  std::array<uint8_t, 32> secretKey{};
  static KeyPair Random();
  // The same pair every time from the same seed, for a fuzzer that must repeat itself.
  static KeyPair FromSeed(const std::array<uint8_t, 32>& seed);
};

// One side's two keys: what it seals with and what it opens with.
struct LinkKeys {
  std::array<uint8_t, 32> send{};
  std::array<uint8_t, 32> receive{};
};
// Nothing when the other's key is not one to agree on (a key of small order).
std::optional<LinkKeys> GuestKeys(const KeyPair& guest, const PublicKey& host);
std::optional<LinkKeys> HostKeys(const KeyPair& host, const PublicKey& guest);

// Counters already taken: the highest, and which of the ReplayWindowSize below it.
class ReplayWindow {
 public:
  bool Fresh(uint64_t counter) const;
  void Take(uint64_t counter);
  uint64_t Highest() const { return highest_; }
  // The counter nearest above the highest taken whose low CounterBits bits are `low`.
  uint64_t Nearest(uint32_t low) const;

 private:
  uint64_t highest_ = 0;  // 0: none yet; counters start at 1
  uint64_t below_ = 0;    // bit i: highest_ - 1 - i taken
};

// What an introduction says: the cookie and the guest's key.
struct Introduction {
  uint32_t cookie = 0;
  PublicKey guestKey{};
};
std::optional<Introduction> IntroductionOf(std::span<const uint8_t> datagram);

// One side of a link, sealing what it sends and opening what it receives.
class LinkSeal {
 public:
  // `intro`: the guest's, carried until it opens one of the host's. `guestKey`: the host's
  // knowledge of the guest's key, to take the introduced datagrams the guest sends meanwhile.
  LinkSeal(const LinkKeys& keys, std::optional<Introduction> intro,
           std::optional<PublicKey> guestKey);

  // `datagram` sealed, into `out`.
  void Seal(std::span<const uint8_t> datagram, std::vector<uint8_t>& out);
  // What `datagram` carries, into `out`; false, and nothing changed, for anything this side did
  // not seal (forged, changed, cut, or for another link) or has opened before.
  bool Open(std::span<const uint8_t> datagram, std::vector<uint8_t>& out);

  uint64_t Sent() const { return sent_; }
  // The counter of the datagram Open last opened.
  uint64_t LastOpened() const { return lastOpened_; }

 private:
  LinkKeys keys_;
  std::optional<Introduction> intro_;
  std::optional<PublicKey> guestKey_;
  uint64_t sent_ = 0;
  uint64_t lastOpened_ = 0;
  ReplayWindow window_;
};

// Whether the library that seals is ready (false if it cannot start).
bool SealReady();

}  // namespace kavarin

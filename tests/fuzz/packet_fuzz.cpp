// Feeds arbitrary datagrams to the protocol's decoder and to both sessions of a match in play.
// The input is a list of steps:
//   byte < 0xC0: a datagram for the host (even) or the guest (odd), of length
//                next byte + 256 * ((byte >> 2) & 3); with bit 1 set, its bytes 4..11 become
//                the session's token, so that the fuzzer reaches past the token check; it is
//                also given to the host's seal, which must not open it;
//   0xC0..0xDF:  a changed copy of one of the guest's datagrams as the link seals them, for the
//                host's seal: the next byte picks which (with bit 4 set, counted from the
//                newest), the one after is a count n, and the n bytes after it are laid over it
//                with exclusive or from place (byte & 15), or with bit 0 set, end it at n bytes;
//                whatever opens must be that very datagram, never before opened, and goes to
//                the host's session;
//   0xE0..0xEF:  the host's or guest's player presses or lets go a key, chosen by the next byte;
//   0xF0..0xFF:  (byte & 15) + 1 frame times pass (what has arrived is handled in them).
// Whatever arrives, nothing may crash or hang; every datagram the decoder accepts must encode
// back to the same bytes; and unless a datagram carried the token, the match goes on: neither
// machine may stop it.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <memory>
#include <span>
#include <vector>

#include "online/link_seal.h"
#include "online/session.h"
#include "tests/online/simulated_link.h"

namespace kavarin::fuzz {
namespace {

class QuietDisplay : public SessionDisplay {};

KeyPair SeededPair(uint8_t seed) {
  std::array<uint8_t, 32> bytes{};
  bytes.fill(seed);
  return KeyPair::FromSeed(bytes);
}

// The guest's datagrams, sealed as the link would put them on the network, and the host's seal
// that opens them.
struct SealedPath {
  KeyPair guestPair = SeededPair(1), hostPair = SeededPair(2);
  LinkSeal guest{*GuestKeys(guestPair, hostPair.publicKey), Introduction{7, guestPair.publicKey},
                 std::nullopt};
  LinkSeal host{*HostKeys(hostPair, guestPair.publicKey), std::nullopt, guestPair.publicKey};
  std::vector<std::vector<uint8_t>> plain, sealed;  // by counter - 1
  std::vector<bool> opened;
  size_t heard = 0;

  void SealNew(const std::vector<std::vector<uint8_t>>& guestSent) {
    for (; heard < guestSent.size() && sealed.size() < 4096; ++heard) {
      plain.push_back(guestSent[heard]);
      sealed.emplace_back();
      guest.Seal(plain.back(), sealed.back());
      opened.push_back(false);
    }
  }
};

using FuzzedEnd = SimulatedLink::TappedEnd;

// The session token, as the honest peer's datagrams carry it.
uint64_t TokenHeard(const FuzzedEnd& end) {
  for (auto it = end.heard.rbegin(); it != end.heard.rend(); ++it) {
    const std::optional<Message> m = Decode(*it);
    if (m && m->token != 0) return m->token;
  }
  return 0;
}

[[noreturn]] void Fail(const char* what) {
  std::fprintf(stderr, "packet fuzz: %s\n", what);
  std::abort();
}

struct Match {
  SimulatedLink link{LinkQuality{.oneWayUs = 2'000, .jitterUs = 0, .loss = 0, .duplication = 0}, 5};
  FuzzedEnd hostEnd{link, 0};
  FuzzedEnd guestEnd{link, 1};
  QuietDisplay display;
  Session host{Player::Host, hostEnd, display, SessionOptions{.seed = 1}};
  Session guest{Player::Guest, guestEnd, display, SessionOptions{.seed = 2}};
  int64_t frameTime = 0;

  SealedPath sealedPath;

  // Both ends keep what they hear, so that the token can be learnt from it.
  Match() { hostEnd.keepHeard = guestEnd.keepHeard = true; }

  void Step() {
    const int64_t now = static_cast<int64_t>(frameTime++ * FrameUs);
    link.SetNow(now);
    host.Tick(now);
    guest.Tick(now);
    sealedPath.SealNew(hostEnd.heard);
  }
};

void CheckDecoder(std::span<const uint8_t> datagram) {
  const std::optional<Message> m = Decode(datagram);
  if (!m) return;
  const std::vector<uint8_t> again = Encode(*m);
  if (again.size() != datagram.size() || !std::equal(again.begin(), again.end(), datagram.begin()))
    Fail("a decoded datagram does not encode back to its bytes");
}

bool Running(SessionState s) {
  return s == SessionState::Playing || s == SessionState::Finished;
}

}  // namespace
}  // namespace kavarin::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace kavarin;
  using namespace kavarin::fuzz;
  auto match = std::make_unique<Match>();
  while (match->frameTime < 120 && (match->host.State() != SessionState::Playing ||
                                    match->guest.State() != SessionState::Playing))
    match->Step();
  if (match->host.State() != SessionState::Playing) Fail("the match did not start");

  static constexpr uint16_t Keys[] = {65, 81, 88, 83, 221, 219, 191, 186, 32, 13, 0, 65535};
  bool tokened = false;
  size_t at = 0;
  while (at < size) {
    const uint8_t op = data[at++];
    const bool toGuest = op & 1;
    if (op >= 0xC0 && op < 0xE0) {
      SealedPath& path = match->sealedPath;
      const uint8_t pick = at < size ? data[at++] : 0;
      const size_t asked = at < size ? data[at++] : 0;
      const size_t n = std::min(asked, size - at);
      const std::span<const uint8_t> laid(data + at, n);
      at += n;
      if (path.sealed.empty()) continue;
      const size_t count = path.sealed.size();
      const size_t which = (op & 0x10) ? count - 1 - pick % count : pick % count;
      std::vector<uint8_t> d = path.sealed[which];
      if (op & 1) {
        d.resize(n, 0);
      } else {
        for (size_t i = 0; i < n && !d.empty(); ++i) d[((op & 15) + i) % d.size()] ^= laid[i];
      }
      std::vector<uint8_t> opened;
      if (!path.host.Open(d, opened)) continue;
      // The counter says which it claims to be.
      const uint64_t counter = path.host.LastOpened();
      if (counter == 0 || counter > count || path.opened[counter - 1] ||
          opened != path.plain[counter - 1])
        Fail("a changed or repeated datagram opened");
      path.opened[counter - 1] = true;
      match->hostEnd.injected.push_back(std::move(opened));
    } else if (op < 0xE0) {
      size_t length = (at < size ? data[at++] : 0) + 256u * ((op >> 2) & 3);
      length = std::min(length, size - at);
      std::vector<uint8_t> datagram(data + at, data + at + length);
      at += length;
      FuzzedEnd& end = toGuest ? match->guestEnd : match->hostEnd;
      const uint64_t heardToken = TokenHeard(end);
      if ((op & 2) && datagram.size() >= HeaderSize)
        for (int i = 0; i < 8; ++i) datagram[4 + i] = static_cast<uint8_t>(heardToken >> (8 * i));
      CheckDecoder(datagram);
      if (datagram.size() >= HeaderSize) {
        uint64_t token = 0;
        for (int i = 0; i < 8; ++i) token |= uint64_t{datagram[4 + i]} << (8 * i);
        tokened = tokened || token == heardToken;
      }
      std::vector<uint8_t> opened;
      if (match->sealedPath.host.Open(datagram, opened)) Fail("a datagram nobody sealed opened");
      end.injected.push_back(std::move(datagram));
    } else if (op < 0xF0) {
      const uint8_t pick = at < size ? data[at++] : 0;
      Session& s = toGuest ? match->guest : match->host;
      const uint16_t key = Keys[pick % std::size(Keys)];
      s.Input(pick >= 240 ? InputEvent{EventKind::Start, 0}
                          : InputEvent{pick & 128 ? EventKind::KeyUp : EventKind::KeyDown, key});
    } else {
      for (int i = 0; i <= (op & 15); ++i) match->Step();
    }
  }
  for (int i = 0; i < 4; ++i) match->Step();

  for (const Session* s : {&match->host, &match->guest}) {
    if (s->Settled() >= s->NextFrame()) Fail("a frame was confirmed before it was simulated");
    if (!tokened && !Running(s->State())) Fail("datagrams without the token stopped the match");
  }
  return 0;
}

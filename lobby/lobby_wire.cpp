#include "lobby/lobby_wire.h"

#include <arpa/inet.h>
#include <sodium.h>

#include <algorithm>
#include <cstring>

namespace kavarin {

namespace {

// Every datagram begins "KVLB", the version and its kind.
constexpr std::array<uint8_t, 4> Magic = {'K', 'V', 'L', 'B'};
// 2: answers carry a tag keyed with the asker's ticket.
constexpr uint8_t WireVersion = 2;
enum Kind : uint8_t {
  KindOpen = 1,
  KindJoin = 2,
  KindPoll = 3,
  KindWaiting = 0x81,
  KindMet = 0x82,
  KindNoRoom = 0x83,
};
constexpr size_t HeadSize = Magic.size() + 2;
// A TURN username or password longer than this is not sent: every answer, tag and all, must fit
// in a request. Ours are 19 and 28 characters.
constexpr size_t MaxTurnText = 32;

// What people can tell apart when reading a code aloud or off a screen.
constexpr std::string_view CodeAlphabet = "23456789ABCDEFGHJKMNPQRSTUVWXYZ";

bool InAlphabet(char c) {
  return c != '\0' && CodeAlphabet.find(c) != std::string_view::npos;
}

class Writer {
 public:
  explicit Writer(uint8_t kind) {
    bytes_.insert(bytes_.end(), Magic.begin(), Magic.end());
    bytes_.push_back(WireVersion);
    bytes_.push_back(kind);
  }
  void Byte(uint8_t b) { bytes_.push_back(b); }
  void Bytes(std::span<const uint8_t> b) { bytes_.insert(bytes_.end(), b.begin(), b.end()); }
  void Code(const RoomCode& code) {
    for (char c : code) Byte(static_cast<uint8_t>(c));
  }
  // Family (4 or 6), port (big-endian), then the address's bytes; the IPv6 scope stays home.
  void Address(const UdpAddress& a) {
    const uint16_t port = a.Port();
    if (a.Family() == AF_INET) {
      Byte(4);
      Byte(static_cast<uint8_t>(port >> 8));
      Byte(static_cast<uint8_t>(port));
      const uint32_t host = a.V4Host();
      Bytes(std::span(reinterpret_cast<const uint8_t*>(&host), sizeof host));
    } else {
      Byte(6);
      Byte(static_cast<uint8_t>(port >> 8));
      Byte(static_cast<uint8_t>(port));
      const std::array<uint8_t, 16> host = a.V6Host();
      Bytes(host);
    }
  }
  void Addresses(const std::vector<UdpAddress>& list) {
    const size_t n = std::min(list.size(), MaxLocalAddresses);
    Byte(static_cast<uint8_t>(n));
    for (size_t i = 0; i < n; ++i) Address(list[i]);
  }
  void MaybeAddress(const std::optional<UdpAddress>& a) {
    Byte(a ? 1 : 0);
    if (a) Address(*a);
  }
  void Text(const std::string& s) {
    Byte(static_cast<uint8_t>(s.size()));
    Bytes(std::span(reinterpret_cast<const uint8_t*>(s.data()), s.size()));
  }
  std::vector<uint8_t> Take() { return std::move(bytes_); }

 private:
  std::vector<uint8_t> bytes_;
};

// Reads fields in order; the first that is short or out of range fails the whole datagram.
class Reader {
 public:
  explicit Reader(std::span<const uint8_t> d) : d_(d) {}
  bool Ok() const { return ok_; }
  size_t Left() const { return ok_ ? d_.size() - at_ : 0; }
  uint8_t Byte() {
    if (!ok_ || at_ >= d_.size()) return Fail(), 0;
    return d_[at_++];
  }
  template <size_t N>
  std::array<uint8_t, N> Bytes() {
    std::array<uint8_t, N> out{};
    if (!ok_ || d_.size() - at_ < N) return Fail(), out;
    std::memcpy(out.data(), d_.data() + at_, N);
    at_ += N;
    return out;
  }
  // A code all of the alphabet, or, where `blankAllowed`, all zeros (no code at all).
  RoomCode Code(bool blankAllowed = false) {
    RoomCode code{};
    const auto raw = Bytes<RoomCodeLength>();
    std::memcpy(code.data(), raw.data(), code.size());
    const bool blank = std::all_of(code.begin(), code.end(), [](char c) { return c == '\0'; });
    if (!(blank && blankAllowed) && !std::all_of(code.begin(), code.end(), InAlphabet)) Fail();
    return code;
  }
  bool Flag() {
    const uint8_t b = Byte();
    if (b > 1) Fail();
    return b == 1;
  }
  UdpAddress Address() {
    const uint8_t family = Byte();
    const uint16_t port = static_cast<uint16_t>(Byte() << 8);
    const uint16_t fullPort = static_cast<uint16_t>(port | Byte());
    if (fullPort == 0) Fail();
    if (family == 4) {
      const auto host = Bytes<4>();
      uint32_t h = 0;
      std::memcpy(&h, host.data(), sizeof h);
      return UdpAddress::V4(h, fullPort);
    }
    if (family == 6) {
      const auto host = Bytes<16>();
      in6_addr h{};
      std::memcpy(&h, host.data(), sizeof h);
      return UdpAddress::V6(h, fullPort);
    }
    Fail();
    return {};
  }
  std::vector<UdpAddress> Addresses() {
    const uint8_t n = Byte();
    if (n > MaxLocalAddresses) return Fail(), std::vector<UdpAddress>{};
    std::vector<UdpAddress> list;
    for (uint8_t i = 0; i < n && ok_; ++i) list.push_back(Address());
    return list;
  }
  std::optional<UdpAddress> MaybeAddress() {
    if (!Flag()) return std::nullopt;
    return Address();
  }
  // Printable ASCII without spaces, 1 to MaxTurnText long.
  std::string Text() {
    const uint8_t n = Byte();
    if (n == 0 || n > MaxTurnText || Left() < n) return Fail(), std::string{};
    std::string s(reinterpret_cast<const char*>(d_.data() + at_), n);
    at_ += n;
    if (!std::all_of(s.begin(), s.end(), [](char c) { return c > ' ' && c < 0x7f; })) Fail();
    return s;
  }
  // A request ends in zeros up to its fixed size; an answer ends where its last field does.
  bool EndsPadded() {
    if (ok_ && !std::all_of(d_.begin() + static_cast<ptrdiff_t>(at_), d_.end(),
                            [](uint8_t b) { return b == 0; }))
      Fail();
    return ok_;
  }
  bool Ends() { return ok_ && at_ == d_.size(); }

 private:
  void Fail() { ok_ = false; }
  std::span<const uint8_t> d_;
  size_t at_ = 0;
  bool ok_ = true;
};

// The kind, after checking the magic and version; 0 when they are wrong.
uint8_t KindOf(Reader& r) {
  const auto magic = r.Bytes<Magic.size()>();
  if (magic != Magic || r.Byte() != WireVersion) return 0;
  const uint8_t kind = r.Byte();
  return r.Ok() ? kind : 0;
}

std::array<uint8_t, AnswerTagSize> TagOf(std::span<const uint8_t> body, const RoomTicket& ticket) {
  static_assert(sizeof(RoomTicket) >= crypto_generichash_KEYBYTES_MIN);
  static_assert(AnswerTagSize >= crypto_generichash_BYTES_MIN);
  std::array<uint8_t, AnswerTagSize> tag{};
  crypto_generichash(tag.data(), tag.size(), body.data(), body.size(), ticket.data(),
                     ticket.size());
  return tag;
}

std::vector<uint8_t> Tagged(std::vector<uint8_t> body, const RoomTicket& ticket) {
  const auto tag = TagOf(body, ticket);
  body.insert(body.end(), tag.begin(), tag.end());
  return body;
}

bool Sendable(const TurnGrant& grant) {
  const auto fits = [](const std::string& s) {
    return !s.empty() && s.size() <= MaxTurnText &&
           std::all_of(s.begin(), s.end(), [](char c) { return c > ' ' && c < 0x7f; });
  };
  return fits(grant.username) && fits(grant.password);
}

}  // namespace

std::optional<RoomCode> ParseRoomCode(std::string_view typed, std::string& error) {
  RoomCode code{};
  size_t n = 0;
  for (char c : typed) {
    if (c == '-' || c == ' ' || c == '\t') continue;
    const char upper = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
    if (!InAlphabet(upper)) {
      const bool printable = c > ' ' && c < 0x7f;
      error = printable ? std::string("a room code has no \"") + c +
                              "\": it uses the digits 2 to 9 and the letters other than I, L "
                              "and O"
                        : "a room code has only digits and letters";
      return std::nullopt;
    }
    if (n < code.size()) code[n] = upper;
    ++n;
  }
  if (n != code.size()) {
    error =
        "a room code has " + std::to_string(code.size()) + " characters, not " + std::to_string(n);
    return std::nullopt;
  }
  return code;
}

std::string RoomCodeText(const RoomCode& code) {
  const std::string plain(code.begin(), code.end());
  return plain.substr(0, RoomCodeLength / 2) + "-" + plain.substr(RoomCodeLength / 2);
}

std::vector<uint8_t> EncodeRequest(const LobbyRequest& request) {
  std::vector<uint8_t> bytes;
  if (const auto* open = std::get_if<OpenRoom>(&request)) {
    Writer w(KindOpen);
    w.Bytes(open->ticket);
    w.Addresses(open->local);
    bytes = w.Take();
  } else if (const auto* join = std::get_if<JoinRoom>(&request)) {
    Writer w(KindJoin);
    w.Code(join->code);
    w.Bytes(join->ticket);
    w.Addresses(join->local);
    bytes = w.Take();
  } else {
    const auto& poll = std::get<PollRoom>(request);
    Writer w(KindPoll);
    w.Code(poll.code);
    w.Bytes(poll.ticket);
    w.MaybeAddress(poll.relayed);
    bytes = w.Take();
  }
  bytes.resize(LobbyRequestSize, 0);
  return bytes;
}

std::vector<uint8_t> EncodeAnswer(const LobbyAnswer& answer, const RoomTicket& ticket) {
  if (const auto* waiting = std::get_if<RoomWaiting>(&answer)) {
    Writer w(KindWaiting);
    w.Code(waiting->code);
    w.Address(waiting->you);
    return Tagged(w.Take(), ticket);
  }
  if (const auto* met = std::get_if<RoomMet>(&answer)) {
    Writer w(KindMet);
    w.Code(met->code);
    w.Byte(met->host ? 1 : 0);
    w.Address(met->you);
    w.Address(met->other.seen);
    w.Addresses(met->other.local);
    w.MaybeAddress(met->other.relayed);
    const bool turn = met->turn && Sendable(*met->turn);
    w.Byte(turn ? 1 : 0);
    if (turn) {
      w.Address(met->turn->server);
      w.Text(met->turn->username);
      w.Text(met->turn->password);
    }
    return Tagged(w.Take(), ticket);
  }
  Writer w(KindNoRoom);
  w.Code(std::get<NoRoom>(answer).code);
  return Tagged(w.Take(), ticket);
}

std::optional<LobbyRequest> DecodeRequest(std::span<const uint8_t> datagram) {
  if (datagram.size() != LobbyRequestSize) return std::nullopt;
  Reader r(datagram);
  LobbyRequest request;
  switch (KindOf(r)) {
    case KindOpen: {
      OpenRoom open;
      open.ticket = r.Bytes<16>();
      open.local = r.Addresses();
      request = std::move(open);
      break;
    }
    case KindJoin: {
      JoinRoom join;
      join.code = r.Code();
      join.ticket = r.Bytes<16>();
      join.local = r.Addresses();
      request = std::move(join);
      break;
    }
    case KindPoll: {
      PollRoom poll;
      poll.code = r.Code();
      poll.ticket = r.Bytes<16>();
      poll.relayed = r.MaybeAddress();
      request = poll;
      break;
    }
    default:
      return std::nullopt;
  }
  if (!r.EndsPadded()) return std::nullopt;
  return request;
}

bool AnswerTagHolds(std::span<const uint8_t> datagram, const RoomTicket& ticket) {
  if (datagram.size() < HeadSize + AnswerTagSize || datagram.size() > LobbyRequestSize)
    return false;
  const size_t body = datagram.size() - AnswerTagSize;
  const auto tag = TagOf(datagram.first(body), ticket);
  return sodium_memcmp(tag.data(), datagram.data() + body, tag.size()) == 0;
}

std::optional<LobbyAnswer> DecodeAnswer(std::span<const uint8_t> datagram,
                                        const RoomTicket& ticket) {
  // The tag first: nothing of an answer we cannot trust is read.
  if (!AnswerTagHolds(datagram, ticket)) return std::nullopt;
  Reader r(datagram.first(datagram.size() - AnswerTagSize));
  LobbyAnswer answer;
  switch (KindOf(r)) {
    case KindWaiting: {
      RoomWaiting waiting;
      waiting.code = r.Code();
      waiting.you = r.Address();
      answer = waiting;
      break;
    }
    case KindMet: {
      RoomMet met;
      met.code = r.Code();
      met.host = r.Flag();
      met.you = r.Address();
      met.other.seen = r.Address();
      met.other.local = r.Addresses();
      met.other.relayed = r.MaybeAddress();
      if (r.Flag()) {
        TurnGrant grant;
        grant.server = r.Address();
        grant.username = r.Text();
        grant.password = r.Text();
        met.turn = std::move(grant);
      }
      answer = std::move(met);
      break;
    }
    case KindNoRoom:
      answer = NoRoom{r.Code(true)};
      break;
    default:
      return std::nullopt;
  }
  if (!r.Ends()) return std::nullopt;
  return answer;
}

bool LooksLikeLobby(std::span<const uint8_t> datagram) {
  return datagram.size() >= HeadSize && std::equal(Magic.begin(), Magic.end(), datagram.begin()) &&
         datagram[Magic.size()] == WireVersion;
}

}  // namespace kavarin

#include "online/stun_message.h"

#include <arpa/inet.h>
#include <nettle/hmac.h>
#include <nettle/md5.h>
#include <nettle/memops.h>
#include <sodium.h>

#include <cstring>

namespace kavarin::stun {

namespace {

// More than any answer a TURN server gives holds; a longer list is refused, not read.
constexpr size_t MaxAttributes = 32;
constexpr size_t IntegritySize = 4 + SHA1_DIGEST_SIZE;

void Put16(std::vector<uint8_t>& out, uint16_t v) {
  out.push_back(static_cast<uint8_t>(v >> 8));
  out.push_back(static_cast<uint8_t>(v));
}
void Put32(std::vector<uint8_t>& out, uint32_t v) {
  Put16(out, static_cast<uint16_t>(v >> 16));
  Put16(out, static_cast<uint16_t>(v));
}
uint16_t Get16(const uint8_t* p) {
  return static_cast<uint16_t>(p[0] << 8 | p[1]);
}
uint32_t Get32(const uint8_t* p) {
  return static_cast<uint32_t>(Get16(p)) << 16 | Get16(p + 2);
}
size_t Padded(size_t n) {
  return (n + 3) & ~size_t{3};
}

uint16_t TypeOf(Method m, Class c) {
  return static_cast<uint16_t>((m & 0x000F) | (m & 0x0070) << 1 | (m & 0x0F80) << 2 | c);
}

std::array<uint8_t, SHA1_DIGEST_SIZE> Hmac(std::span<const uint8_t> key,
                                           std::span<const uint8_t> head, uint16_t length,
                                           std::span<const uint8_t> rest) {
  hmac_sha1_ctx ctx;
  hmac_sha1_set_key(&ctx, key.size(), key.data());
  // The length in the header counts the message up to the end of MESSAGE-INTEGRITY.
  const uint8_t len[2] = {static_cast<uint8_t>(length >> 8), static_cast<uint8_t>(length)};
  hmac_sha1_update(&ctx, 2, head.data());
  hmac_sha1_update(&ctx, 2, len);
  hmac_sha1_update(&ctx, rest.size(), rest.data());
  std::array<uint8_t, SHA1_DIGEST_SIZE> digest;
  hmac_sha1_digest(&ctx, digest.size(), digest.data());
  return digest;
}

}  // namespace

TransactionId NewTransactionId() {
  TransactionId id;
  randombytes_buf(id.data(), id.size());
  return id;
}

std::array<uint8_t, 16> LongTermKey(const std::string& username, const std::string& realm,
                                    const std::string& password) {
  const std::string joined = username + ":" + realm + ":" + password;
  md5_ctx ctx;
  md5_init(&ctx);
  md5_update(&ctx, joined.size(), reinterpret_cast<const uint8_t*>(joined.data()));
  std::array<uint8_t, 16> key;
  md5_digest(&ctx, key.size(), key.data());
  return key;
}

Writer::Writer(Method method, Class cls, const TransactionId& id) {
  Put16(out_, TypeOf(method, cls));
  Put16(out_, 0);
  Put32(out_, MagicCookie);
  out_.insert(out_.end(), id.begin(), id.end());
}

Writer& Writer::Bytes(Attribute type, std::span<const uint8_t> value) {
  Put16(out_, type);
  Put16(out_, static_cast<uint16_t>(value.size()));
  out_.insert(out_.end(), value.begin(), value.end());
  out_.resize(Padded(out_.size()), 0);
  return *this;
}

Writer& Writer::Text(Attribute type, const std::string& value) {
  return Bytes(type, std::span(reinterpret_cast<const uint8_t*>(value.data()), value.size()));
}

Writer& Writer::Word(Attribute type, uint32_t value) {
  std::vector<uint8_t> v;
  Put32(v, value);
  return Bytes(type, v);
}

Writer& Writer::Address(Attribute type, const UdpAddress& address) {
  std::vector<uint8_t> v{0, static_cast<uint8_t>(address.Family() == AF_INET6 ? 2 : 1)};
  Put16(v, static_cast<uint16_t>(address.Port() ^ (MagicCookie >> 16)));
  // The cookie, then for IPv6 the transaction id, is the key the address is XOR-ed with.
  const uint8_t* mask = out_.data() + 4;
  if (address.Family() == AF_INET6) {
    const std::array<uint8_t, 16> host = address.V6Host();
    for (size_t i = 0; i < host.size(); ++i) v.push_back(host[i] ^ mask[i]);
  } else {
    const uint32_t host = ntohl(address.V4Host());
    Put32(v, host ^ MagicCookie);
  }
  return Bytes(type, v);
}

Writer& Writer::Failure(int code, const std::string& reason) {
  std::vector<uint8_t> v{0, 0, static_cast<uint8_t>(code / 100), static_cast<uint8_t>(code % 100)};
  v.insert(v.end(), reason.begin(), reason.end());
  return Bytes(ErrorCode, v);
}

std::vector<uint8_t> Writer::Finish(std::span<const uint8_t> key) {
  std::vector<uint8_t> out = out_;
  if (!key.empty()) {
    const uint16_t length = static_cast<uint16_t>(out.size() + IntegritySize - HeaderSize);
    const auto digest = Hmac(key, std::span(out).first(2), length, std::span(out).subspan(4));
    Put16(out, MessageIntegrity);
    Put16(out, SHA1_DIGEST_SIZE);
    out.insert(out.end(), digest.begin(), digest.end());
  }
  const uint16_t length = static_cast<uint16_t>(out.size() - HeaderSize);
  out[2] = static_cast<uint8_t>(length >> 8);
  out[3] = static_cast<uint8_t>(length);
  return out;
}

const Attr* Message::Find(uint16_t type) const {
  for (const Attr& a : attributes)
    if (a.type == type) return &a;
  return nullptr;
}

std::optional<std::string> Message::Text(uint16_t type) const {
  const Attr* a = Find(type);
  if (!a) return std::nullopt;
  return std::string(a->value.begin(), a->value.end());
}

std::optional<uint32_t> Message::Word(uint16_t type) const {
  const Attr* a = Find(type);
  if (!a || a->value.size() != 4) return std::nullopt;
  return Get32(a->value.data());
}

std::optional<UdpAddress> Message::Address(uint16_t type) const {
  const Attr* a = Find(type);
  if (!a || a->value.size() < 4) return std::nullopt;
  const uint8_t* v = a->value.data();
  const uint16_t port = static_cast<uint16_t>(Get16(v + 2) ^ (MagicCookie >> 16));
  const uint8_t* mask = whole.data() + 4;
  if (v[1] == 1 && a->value.size() == 8)
    return UdpAddress::V4(htonl(Get32(v + 4) ^ MagicCookie), port);
  if (v[1] == 2 && a->value.size() == 20) {
    in6_addr host;
    for (size_t i = 0; i < 16; ++i) host.s6_addr[i] = v[4 + i] ^ mask[i];
    return UdpAddress::V6(host, port);
  }
  return std::nullopt;
}

std::optional<std::pair<int, std::string>> Message::Failure() const {
  const Attr* a = Find(ErrorCode);
  if (!a || a->value.size() < 4 || a->value.size() > 4 + 763) return std::nullopt;
  const int hundreds = a->value[2] & 0x07, rest = a->value[3];
  if (hundreds < 3 || hundreds > 6 || rest > 99) return std::nullopt;
  std::string reason;
  for (size_t i = 4; i < a->value.size(); ++i) {
    const uint8_t c = a->value[i];
    // Shown to a player: printable ASCII only.
    reason.push_back(c >= 0x20 && c < 0x7F ? static_cast<char>(c) : '?');
  }
  return std::pair(hundreds * 100 + rest, reason);
}

bool Message::SignedWith(std::span<const uint8_t> key) const {
  if (!integrityAt) return false;
  const size_t at = *integrityAt;
  const auto digest =
      Hmac(key, whole.first(2), static_cast<uint16_t>(at + IntegritySize - HeaderSize),
           whole.subspan(4, at - 4));
  return memeql_sec(digest.data(), whole.data() + at + 4, digest.size()) != 0;
}

std::optional<Message> Read(std::span<const uint8_t> datagram) {
  if (datagram.size() < HeaderSize || datagram.size() % 4 != 0) return std::nullopt;
  const uint8_t* p = datagram.data();
  const uint16_t type = Get16(p);
  if (type & 0xC000 || Get16(p + 2) != datagram.size() - HeaderSize || Get32(p + 4) != MagicCookie)
    return std::nullopt;
  const uint16_t method =
      static_cast<uint16_t>((type & 0x000F) | (type & 0x00E0) >> 1 | (type & 0x3E00) >> 2);
  switch (method) {
    case Binding:
    case Allocate:
    case Refresh:
    case Send:
    case Data:
    case CreatePermission:
    case ChannelBind:
      break;
    default:
      return std::nullopt;
  }
  Message m{static_cast<Method>(method), static_cast<Class>(type & 0x0110), {}, {}, datagram, {}};
  std::memcpy(m.id.data(), p + 8, m.id.size());
  bool fingerprinted = false;
  for (size_t at = HeaderSize; at < datagram.size();) {
    // Nothing may follow FINGERPRINT, and only FINGERPRINT may follow MESSAGE-INTEGRITY.
    if (fingerprinted || datagram.size() - at < 4) return std::nullopt;
    const uint16_t attr = Get16(p + at), length = Get16(p + at + 2);
    if (Padded(length) > datagram.size() - at - 4) return std::nullopt;
    const std::span<const uint8_t> value = datagram.subspan(at + 4, length);
    if (attr == Fingerprint) {
      if (length != 4) return std::nullopt;
      fingerprinted = true;
    } else if (m.integrityAt) {
      return std::nullopt;
    } else if (attr == MessageIntegrity) {
      if (length != SHA1_DIGEST_SIZE) return std::nullopt;
      m.integrityAt = at;
    } else {
      if (m.attributes.size() == MaxAttributes) return std::nullopt;
      m.attributes.push_back({attr, value});
    }
    at += 4 + Padded(length);
  }
  return m;
}

std::vector<uint8_t> ChannelFrame(uint16_t channel, std::span<const uint8_t> data) {
  std::vector<uint8_t> out;
  out.reserve(4 + data.size());
  Put16(out, channel);
  Put16(out, static_cast<uint16_t>(data.size()));
  out.insert(out.end(), data.begin(), data.end());
  return out;
}

std::optional<ChannelPiece> ReadChannelFrame(std::span<const uint8_t> datagram) {
  if (datagram.size() < 4) return std::nullopt;
  const uint16_t channel = Get16(datagram.data()), length = Get16(datagram.data() + 2);
  if (channel < 0x4000 || channel > 0x4FFF || length > datagram.size() - 4 ||
      datagram.size() - 4 - length > 3)
    return std::nullopt;
  return ChannelPiece{channel, datagram.subspan(4, length)};
}

}  // namespace kavarin::stun

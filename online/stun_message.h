#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "online/udp_address.h"

namespace kavarin {

// The STUN messages a TURN client and server exchange (RFC 8489, 8656): a 20-byte header with the
// magic cookie and a transaction id, then attributes, each padded to 4 bytes. Decoding is strict
// and bounded: anything that does not hold together is refused whole.
namespace stun {

inline constexpr uint32_t MagicCookie = 0x2112A442;
inline constexpr size_t HeaderSize = 20;

enum Method : uint16_t {
  Binding = 0x001,
  Allocate = 0x003,
  Refresh = 0x004,
  Send = 0x006,
  Data = 0x007,
  CreatePermission = 0x008,
  ChannelBind = 0x009,
};
enum Class : uint16_t { Request = 0x000, Indication = 0x010, Success = 0x100, Error = 0x110 };

enum Attribute : uint16_t {
  Username = 0x0006,
  MessageIntegrity = 0x0008,
  ErrorCode = 0x0009,
  ChannelNumber = 0x000C,
  Lifetime = 0x000D,
  XorPeerAddress = 0x0012,
  DataAttribute = 0x0013,
  Realm = 0x0014,
  Nonce = 0x0015,
  XorRelayedAddress = 0x0016,
  RequestedTransport = 0x0019,
  XorMappedAddress = 0x0020,
  Fingerprint = 0x8028,
};

using TransactionId = std::array<uint8_t, 12>;
// A fresh id from a secure random source.
TransactionId NewTransactionId();
// MD5 of "username:realm:password": the long-term credential's key.
std::array<uint8_t, 16> LongTermKey(const std::string& username, const std::string& realm,
                                    const std::string& password);

// A message being written. Attributes go in the order they are added; Finish signs it when given
// a key (MESSAGE-INTEGRITY last).
class Writer {
 public:
  Writer(Method method, Class cls, const TransactionId& id);
  Writer& Bytes(Attribute type, std::span<const uint8_t> value);
  Writer& Text(Attribute type, const std::string& value);
  Writer& Word(Attribute type, uint32_t value);
  Writer& Address(Attribute type, const UdpAddress& address);  // XOR-ed
  Writer& Failure(int code, const std::string& reason);        // ERROR-CODE
  std::vector<uint8_t> Finish(std::span<const uint8_t> key = {});

 private:
  std::vector<uint8_t> out_;
};

struct Attr {
  uint16_t type;
  std::span<const uint8_t> value;
};

// A message read from a datagram; views into it, so the datagram must outlive it.
struct Message {
  Method method;
  Class cls;
  TransactionId id;
  std::vector<Attr> attributes;  // before MESSAGE-INTEGRITY, at most a few dozen
  std::span<const uint8_t> whole;
  // Where MESSAGE-INTEGRITY starts, if the message has it.
  std::optional<size_t> integrityAt;

  const Attr* Find(uint16_t type) const;
  std::optional<std::string> Text(uint16_t type) const;
  std::optional<uint32_t> Word(uint16_t type) const;
  std::optional<UdpAddress> Address(uint16_t type) const;
  // ERROR-CODE's number (300 to 699) and reason.
  std::optional<std::pair<int, std::string>> Failure() const;
  // Whether MESSAGE-INTEGRITY is there and right under `key`.
  bool SignedWith(std::span<const uint8_t> key) const;
};

std::optional<Message> Read(std::span<const uint8_t> datagram);

// Channel data: a channel number (0x4000 to 0x4FFF), the length, the data, and on UDP perhaps up
// to 3 bytes of padding.
std::vector<uint8_t> ChannelFrame(uint16_t channel, std::span<const uint8_t> data);
struct ChannelPiece {
  uint16_t channel;
  std::span<const uint8_t> data;
};
std::optional<ChannelPiece> ReadChannelFrame(std::span<const uint8_t> datagram);

}  // namespace stun
}  // namespace kavarin

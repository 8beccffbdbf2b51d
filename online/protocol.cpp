#include "online/protocol.h"

namespace kavarin {

namespace {

constexpr uint8_t Magic0 = 'K';
constexpr uint8_t Magic1 = 'v';

class Writer {
 public:
  void U8(uint8_t v) { bytes.push_back(v); }
  void U16(uint16_t v) {
    for (int i = 0; i < 2; ++i) bytes.push_back(static_cast<uint8_t>(v >> (8 * i)));
  }
  void U32(uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<uint8_t>(v >> (8 * i)));
  }
  void U64(uint64_t v) {
    for (int i = 0; i < 8; ++i) bytes.push_back(static_cast<uint8_t>(v >> (8 * i)));
  }
  std::vector<uint8_t> bytes;
};

// Reads fields off a datagram; once anything is missing every later read fails too.
class Reader {
 public:
  explicit Reader(std::span<const uint8_t> d) : d_(d) {}
  bool Ok() const { return ok_; }
  bool AtEnd() const { return ok_ && at_ == d_.size(); }
  uint64_t Bytes(int n) {
    if (!ok_ || d_.size() - at_ < static_cast<size_t>(n)) {
      ok_ = false;
      return 0;
    }
    uint64_t v = 0;
    for (int i = 0; i < n; ++i) v |= uint64_t{d_[at_ + static_cast<size_t>(i)]} << (8 * i);
    at_ += static_cast<size_t>(n);
    return v;
  }
  uint8_t U8() { return static_cast<uint8_t>(Bytes(1)); }
  uint16_t U16() { return static_cast<uint16_t>(Bytes(2)); }
  uint32_t U32() { return static_cast<uint32_t>(Bytes(4)); }
  uint64_t U64() { return Bytes(8); }

 private:
  std::span<const uint8_t> d_;
  size_t at_ = 0;
  bool ok_ = true;
};

void WriteBody(Writer& w, const Hello& m) {
  w.U64(m.nonce);
  while (w.bytes.size() < HelloSize) w.U8(0);
}
void WriteBody(Writer& w, const Welcome& m) {
  w.U64(m.nonce);
}
void WriteBody(Writer& w, const Begin& m) {
  w.U16(m.roundTripMs);
}
void WriteBody(Writer& w, const Inputs& m) {
  w.U32(m.sequence);
  w.U32(m.first);
  w.U8(m.count);
  w.U32(m.received);
  w.U32(m.senderFrame);
  w.U8(static_cast<uint8_t>(m.advantage));
  w.U32(m.endFrame);
  for (int f = 0; f < m.count && f < MaxFramesPerDatagram; ++f) {
    const FrameInput& in = m.frames[static_cast<size_t>(f)];
    w.U8(static_cast<uint8_t>(in.Size()));
    for (const InputEvent& e : in.Events()) {
      w.U8(static_cast<uint8_t>(e.kind));
      w.U16(e.key);
    }
  }
}
void WriteBody(Writer& w, const Ping& m) {
  w.U32(m.timeMs);
}
void WriteBody(Writer& w, const Pong& m) {
  w.U32(m.timeMs);
  w.U16(m.heldTenthsMs);
}
void WriteBody(Writer& w, const Checkpoint& m) {
  w.U32(m.frame);
  w.U64(m.hash);
}
void WriteBody(Writer& w, const Desync& m) {
  w.U32(m.frame);
}
void WriteBody(Writer& w, const Goodbye& m) {
  w.U32(m.recordEnd);
}

bool ReadBody(Reader& r, Hello& m) {
  m.nonce = r.U64();
  for (size_t i = HeaderSize + 8; i < HelloSize; ++i)
    if (r.U8() != 0) return false;
  return true;
}
bool ReadBody(Reader& r, Welcome& m) {
  m.nonce = r.U64();
  return true;
}
bool ReadBody(Reader& r, Begin& m) {
  m.roundTripMs = r.U16();
  return true;
}
bool ReadBody(Reader& r, Inputs& m) {
  m.sequence = r.U32();
  m.first = r.U32();
  m.count = r.U8();
  m.received = r.U32();
  m.senderFrame = r.U32();
  m.advantage = static_cast<int8_t>(r.U8());
  m.endFrame = r.U32();
  if (m.sequence == 0 || m.count > MaxFramesPerDatagram || m.first == NoFrame ||
      m.senderFrame == NoFrame || m.advantage < -MaxAdvantage || m.advantage > MaxAdvantage)
    return false;
  if (uint64_t{m.first} + m.count > NoFrame) return false;
  for (int f = 0; f < m.count && r.Ok(); ++f) {
    FrameInput& in = m.frames[static_cast<size_t>(f)];
    const int n = r.U8();
    if (n > MaxEventsPerFrame) return false;
    for (int i = 0; i < n && r.Ok(); ++i) {
      const uint8_t kind = r.U8();
      const uint16_t key = r.U16();
      if (kind > static_cast<uint8_t>(EventKind::Start)) return false;
      if (kind == static_cast<uint8_t>(EventKind::Start) && key != 0) return false;
      in.Add({static_cast<EventKind>(kind), key});
    }
  }
  return true;
}
bool ReadBody(Reader& r, Ping& m) {
  m.timeMs = r.U32();
  return true;
}
bool ReadBody(Reader& r, Pong& m) {
  m.timeMs = r.U32();
  m.heldTenthsMs = r.U16();
  return true;
}
bool ReadBody(Reader& r, Checkpoint& m) {
  m.frame = r.U32();
  m.hash = r.U64();
  return m.frame != NoFrame;
}
bool ReadBody(Reader& r, Desync& m) {
  m.frame = r.U32();
  return true;
}
bool ReadBody(Reader& r, Goodbye& m) {
  m.recordEnd = r.U32();
  return m.recordEnd != NoFrame;
}

template <size_t I = 0>
std::optional<MessageBody> ReadTyped(Reader& r, uint8_t type) {
  if constexpr (I < std::variant_size_v<MessageBody>) {
    if (type == I + 1) {
      std::variant_alternative_t<I, MessageBody> body{};
      if (!ReadBody(r, body) || !r.AtEnd()) return std::nullopt;
      return MessageBody(body);
    }
    return ReadTyped<I + 1>(r, type);
  } else {
    return std::nullopt;
  }
}

}  // namespace

std::vector<uint8_t> Encode(const Message& message) {
  Writer w;
  w.bytes.reserve(64);
  w.U8(Magic0);
  w.U8(Magic1);
  w.U8(ProtocolVersion);
  // The message types on the wire: MessageBody's alternatives in order, from 1.
  w.U8(static_cast<uint8_t>(message.body.index() + 1));
  w.U64(message.token);
  std::visit([&w](const auto& body) { WriteBody(w, body); }, message.body);
  return std::move(w.bytes);
}

std::optional<Message> Decode(std::span<const uint8_t> datagram) {
  if (datagram.size() < HeaderSize || datagram.size() > MaxDatagramSize) return std::nullopt;
  Reader r(datagram);
  if (r.U8() != Magic0 || r.U8() != Magic1 || r.U8() != ProtocolVersion) return std::nullopt;
  const uint8_t type = r.U8();
  Message m;
  m.token = r.U64();
  std::optional<MessageBody> body = ReadTyped(r, type);
  if (!body) return std::nullopt;
  m.body = std::move(*body);
  return m;
}

}  // namespace kavarin

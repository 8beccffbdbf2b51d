#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <variant>
#include <vector>

#include "online/input_event.h"

namespace kavarin {

// The datagrams two machines exchange. Every one starts with the same 12 bytes: "Kv", the
// protocol version, the message type and the session token (0 until the host has given one).
// Numbers are little-endian. Decoding checks every field and its bounds; anything malformed,
// truncated, oversized or of another version is no message at all.
constexpr uint8_t ProtocolVersion = 4;
constexpr size_t HeaderSize = 12;
// Input frames one datagram carries at most; older unacknowledged frames go first.
constexpr int MaxFramesPerDatagram = 32;
// The largest datagram either side sends or accepts.
constexpr size_t MaxDatagramSize =
    HeaderSize + 22 + MaxFramesPerDatagram * (1 + 3 * MaxEventsPerFrame);
// No frame number or count.
constexpr uint32_t NoFrame = 0xFFFFFFFF;
// How many frames ahead of the other a machine may say it is.
constexpr int8_t MaxAdvantage = 100;

// Guest to host, to ask for a session. It is padded so that the host's answer is never larger:
// the game cannot be used to amplify traffic at a third party.
struct Hello {
  uint64_t nonce;
};
constexpr size_t HelloSize = 64;
// Host to guest: the session token, in the header, for the nonce of the guest's Hello.
struct Welcome {
  uint64_t nonce;
};
// Host to guest, once the round trip is measured: frame 0 starts now.
struct Begin {
  uint16_t roundTripMs;
};
// A player's inputs for frames first .. first + count - 1, with what the sender has of the other
// player's (every frame up to `received` inclusive, or NoFrame for none), the frame the sender is
// about to simulate, how many frames it thinks it is ahead, and the frame its inputs end before
// (NoFrame while they go on). `sequence` counts the sender's Inputs from 1: a copy that arrives
// late or twice is older than one already heard, and is dropped whole.
struct Inputs {
  uint32_t sequence = 0;
  uint32_t first = 0;
  uint8_t count = 0;
  uint32_t received = NoFrame;
  uint32_t senderFrame = 0;
  int8_t advantage = 0;
  uint32_t endFrame = NoFrame;
  std::array<FrameInput, MaxFramesPerDatagram> frames{};
};
struct Ping {
  uint32_t timeMs;
};
// `heldTenthsMs`: how long the answer waited to ride with the answerer's inputs, in units of
// 100 us, which the pinger takes off the round trip.
struct Pong {
  uint32_t timeMs;
  uint16_t heldTenthsMs = 0;
};
// The hash of the simulation after a confirmed frame.
struct Checkpoint {
  uint32_t frame;
  uint64_t hash;
};
// The sender found the two simulations apart after this frame and has stopped.
struct Desync {
  uint32_t frame;
};
// The sender has left the match; its record holds the frames before `recordEnd`, and so is the
// other machine's to end.
struct Goodbye {
  uint32_t recordEnd = 0;
};

using MessageBody =
    std::variant<Hello, Welcome, Begin, Inputs, Ping, Pong, Checkpoint, Desync, Goodbye>;

struct Message {
  uint64_t token = 0;
  MessageBody body;
};

// A frame number as the wire carries it, NoFrame for none (-1), and back.
constexpr uint32_t ToWire(int64_t frame) {
  return frame < 0 ? NoFrame : static_cast<uint32_t>(frame);
}
constexpr int64_t FromWire(uint32_t frame) {
  return frame == NoFrame ? -1 : int64_t{frame};
}

std::vector<uint8_t> Encode(const Message& message);
std::optional<Message> Decode(std::span<const uint8_t> datagram);

}  // namespace kavarin

#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace kavarin {

// The largest datagram a link sends or takes. No datagram of ours comes near it; anything larger
// is not ours.
inline constexpr size_t MaxLinkDatagram = 4096;

// How a link to the other machine stands.
enum class LinkState {
  Waiting,     // a host waiting for a guest, a guest looking for its host
  Connecting,  // the two have found each other and are setting the link up
  Connected,
  Closed,  // the other side left, the link was lost or could not be made, or Close was called
};

struct LinkCounters {
  int64_t datagramsSent = 0;  // on the wire, the link's own included
  int64_t bytesSent = 0;      // their bytes, the link's headers included
  int64_t datagramsReceived = 0;
  int64_t bytesReceived = 0;
  int64_t strangersDropped = 0;  // from another address, or not let in before a connection
  // From the other machine's address, or offered a link, and not sealed by it: forged, changed,
  // cut or heard before.
  int64_t forgeriesDropped = 0;
  int64_t knocksAnswered = 0;
};

// The link interface: how a session reaches the other machine, whatever carries it (UDP through
// ENet today). Whole datagrams, sent and forgotten, that may arrive late, twice, out of order or
// not at all; the session does its own resending. Send and Receive only move datagrams between
// the session and the link's queues: the network is touched in Service, once a frame, so one
// loop decides when that happens for every kind of link.
class Transport {
 public:
  virtual ~Transport() = default;
  // Queued for the next Service; dropped unless connected.
  virtual void Send(std::span<const uint8_t> datagram) = 0;
  // The next datagram that has arrived from the other machine, if any. Anything from elsewhere is
  // the link's to drop.
  virtual bool Receive(std::vector<uint8_t>& datagram) = 0;

  // Handles what has arrived and puts what is queued on the wire. Never blocks.
  virtual void Service() {}
  // Waits until something arrives, at most timeoutMs.
  virtual void Wait(int /*timeoutMs*/) {}
  // A descriptor that is readable when something has arrived, for an event loop to watch; -1
  // for a link with nothing to watch.
  virtual int WaitHandle() const { return -1; }
  // Tells the other side this one is leaving, waits at most waitMs for it to hear, and closes.
  virtual void Close(int /*waitMs*/ = 250) {}

  virtual LinkState State() const { return LinkState::Connected; }
  // What the link knows of the other side: whether it said it was leaving, rather than going
  // silent, once the link is closed; and where it is, as the link reaches it.
  virtual bool PeerSaidGoodbye() const { return false; }
  virtual std::string PeerAddress() const { return {}; }
  // Why the link closed without the other side, when it could not be made; empty otherwise.
  virtual std::string Failure() const { return {}; }
  virtual LinkCounters Stats() const { return {}; }
};

}  // namespace kavarin

#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "lobby/lobby_wire.h"

namespace kavarin {

// A player's side of meeting through kavarin-lobby, with no socket of its own: the link sends
// what Due gives to the lobby from the socket it will play on (so that the lobby sees the address
// the other player must reach), and hands Take what comes back from the lobby's address. It asks
// again every 250 ms until answered, and polls every 500 ms while it waits for the other player
// or has a relay to tell; it gives up after 10 s without an answer.
class LobbyClient {
 public:
  using Clock = std::chrono::steady_clock;
  enum class Stage {
    Asking,   // nothing heard from the lobby yet
    Waiting,  // a host in its room, alone (Code is known)
    Met,      // both in the room: Meeting is known, and kept up to date while polling
    NoRoom,   // the lobby has no such room for us (Failure says so)
    Failed,   // the lobby did not answer (Failure says so)
  };

  static LobbyClient NewRoom(const UdpAddress& lobby, std::vector<UdpAddress> local);
  static LobbyClient Join(const UdpAddress& lobby, const RoomCode& code,
                          std::vector<UdpAddress> local);

  const UdpAddress& Lobby() const { return lobby_; }
  // The next request due now, if any.
  std::optional<std::vector<uint8_t>> Due(Clock::time_point now);
  // A datagram from the lobby's address; false when it is not a lobby answer for us.
  bool Take(std::span<const uint8_t> datagram, Clock::time_point now);
  // From now on, polls tell the lobby this relay, for the other player.
  void PublishRelayed(const UdpAddress& relayed);
  // Stops asking: the two are linked.
  void Stop() { stopped_ = true; }

  Stage State() const { return stage_; }
  const std::optional<RoomCode>& Code() const { return code_; }
  const std::optional<RoomMet>& Meeting() const { return met_; }
  const std::string& Failure() const { return failure_; }
  // Answers from the lobby's address whose tag did not hold under our ticket: forged, or for
  // someone else. Each was dropped and changed nothing.
  size_t Forged() const { return forged_; }

 private:
  LobbyClient(const UdpAddress& lobby, std::vector<UdpAddress> local);

  UdpAddress lobby_;
  std::vector<UdpAddress> local_;
  RoomTicket ticket_{};
  bool joining_ = false;
  std::optional<RoomCode> code_;
  std::optional<RoomMet> met_;
  std::optional<UdpAddress> relayed_;
  Stage stage_ = Stage::Asking;
  std::string failure_;
  bool stopped_ = false;
  Clock::time_point firstAsked_{}, lastSent_{}, lastHeard_{};
  bool sentAny_ = false;
  size_t forged_ = 0;
};

}  // namespace kavarin

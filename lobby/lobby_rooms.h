#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "lobby/lobby_wire.h"
#include "lobby/source_limiter.h"

namespace kavarin {

// How much the lobby holds and answers, whatever it is sent.
constexpr size_t MaxRooms = 4096;
constexpr size_t MaxRoomsPerSource = 16;
constexpr auto UnjoinedRoomLife = std::chrono::minutes(10);
// After the two have met, their polls are answered this long while they find a path.
constexpr auto MetRoomGrace = std::chrono::seconds(60);
// Each source: a player asks 4 times a second at most, and two may share a router.
constexpr double SourceRequestsPerSecond = 20;
constexpr double SourceRequestBurst = 40;
constexpr size_t SourceSlots = 8192;
// All sources together: joins of a code that has no room open to the joiner. This alone bounds
// how fast codes can be guessed, however many addresses the guesser has.
constexpr double FailedJoinsPerSecond = 16;
constexpr double FailedJoinBurst = 32;
// TURN credentials outlast the longest match, with an hour to spare for meeting.
constexpr auto TurnGrantLife = std::chrono::hours(2);

// The lobby's rooms, with no socket of their own: each datagram in, with its source and the
// time, gives the answer to send back to that source, or nothing.
class LobbyRooms {
 public:
  using Clock = std::chrono::steady_clock;
  struct Turn {
    UdpAddress server;
    std::string secret;
  };
  // `unixAtStart` is the wall clock at `start`, for TURN expiry times; `log` hears one line per
  // room event.
  LobbyRooms(std::optional<Turn> turn, Clock::time_point start, int64_t unixAtStart,
             std::function<void(const std::string&)> log);

  std::optional<std::vector<uint8_t>> Handle(const UdpAddress& from,
                                             std::span<const uint8_t> datagram,
                                             Clock::time_point now);
  // Forgets rooms whose time is up (Handle does it too, once a second at most).
  void Sweep(Clock::time_point now);

  size_t Rooms() const { return rooms_.size(); }
  size_t Sources() const { return limiter_.Tracked(); }
  size_t SourceCapacity() const { return limiter_.Capacity(); }

 private:
  struct Member {
    RoomTicket ticket{};
    UdpAddress seen;
    std::vector<UdpAddress> local;
    std::optional<UdpAddress> relayed;
  };
  struct Room {
    RoomCode code{};
    Member host;
    std::optional<Member> guest;
    SourceKey hostSource{};
    Clock::time_point ends{};
    std::optional<TurnGrant> turn;
  };

  std::optional<LobbyAnswer> Open(const UdpAddress& from, const OpenRoom& open,
                                  Clock::time_point now);
  std::optional<LobbyAnswer> Join(const UdpAddress& from, const JoinRoom& join,
                                  Clock::time_point now);
  std::optional<LobbyAnswer> Poll(const UdpAddress& from, const PollRoom& poll,
                                  Clock::time_point now);
  // What `asker` (the room's host or its guest) is told.
  LobbyAnswer View(const Room& room, bool host, const UdpAddress& asker) const;
  Room* Find(const RoomCode& code, Clock::time_point now);
  void Forget(std::map<RoomCode, Room>::iterator room);
  void Log(const std::string& line) const {
    if (log_) log_(line);
  }

  std::optional<Turn> turn_;
  Clock::time_point start_;
  int64_t unixAtStart_;
  std::function<void(const std::string&)> log_;
  std::map<RoomCode, Room> rooms_;
  std::map<RoomTicket, RoomCode> hostTickets_;
  std::map<SourceKey, size_t> roomsOf_;
  SourceLimiter limiter_{SourceRequestsPerSecond, SourceRequestBurst, SourceSlots};
  TokenBucket failedJoins_{FailedJoinsPerSecond, FailedJoinBurst};
  Clock::time_point nextSweep_{};
  Clock::time_point nextFullNote_{};
};

}  // namespace kavarin

#include "lobby/lobby_rooms.h"

#include <sodium.h>

#include "lobby/turn_grant.h"

namespace kavarin {

namespace {

constexpr std::string_view CodeAlphabet = "23456789ABCDEFGHJKMNPQRSTUVWXYZ";

RoomCode RandomCode() {
  RoomCode code{};
  for (char& c : code)
    c = CodeAlphabet[randombytes_uniform(static_cast<uint32_t>(CodeAlphabet.size()))];
  return code;
}

}  // namespace

LobbyRooms::LobbyRooms(std::optional<Turn> turn, Clock::time_point start, int64_t unixAtStart,
                       std::function<void(const std::string&)> log)
    : turn_(std::move(turn)), start_(start), unixAtStart_(unixAtStart), log_(std::move(log)) {
  // Codes come from libsodium's generator; without a random source there is no lobby.
  if (sodium_init() < 0) std::abort();
}

std::optional<std::vector<uint8_t>> LobbyRooms::Handle(const UdpAddress& from,
                                                       std::span<const uint8_t> datagram,
                                                       Clock::time_point now) {
  // Counted before anything is read, so that malformed datagrams cost their sender too.
  if (!limiter_.Allow(SourceOf(from), now)) return std::nullopt;
  if (now >= nextSweep_) Sweep(now);
  const std::optional<LobbyRequest> request = DecodeRequest(datagram);
  if (!request) return std::nullopt;
  std::optional<LobbyAnswer> answer;
  if (const auto* open = std::get_if<OpenRoom>(&*request))
    answer = Open(from, *open, now);
  else if (const auto* join = std::get_if<JoinRoom>(&*request))
    answer = Join(from, *join, now);
  else
    answer = Poll(from, std::get<PollRoom>(*request), now);
  if (!answer) return std::nullopt;
  // Tagged with the asker's ticket, a full lobby's blank NoRoom too.
  const RoomTicket& ticket =
      std::visit([](const auto& r) -> const RoomTicket& { return r.ticket; }, *request);
  std::vector<uint8_t> bytes = EncodeAnswer(*answer, ticket);
  // Never more than we were sent, whoever the source claims to be.
  if (bytes.size() > datagram.size()) return std::nullopt;
  return bytes;
}

void LobbyRooms::Sweep(Clock::time_point now) {
  nextSweep_ = now + std::chrono::seconds(1);
  for (auto room = rooms_.begin(); room != rooms_.end();) {
    const auto next = std::next(room);
    if (room->second.ends <= now) {
      Log("room " + RoomCodeText(room->first) +
          (room->second.guest ? " closed" : " expired unjoined"));
      Forget(room);
    }
    room = next;
  }
}

LobbyRooms::Room* LobbyRooms::Find(const RoomCode& code, Clock::time_point now) {
  const auto room = rooms_.find(code);
  if (room == rooms_.end() || room->second.ends <= now) return nullptr;
  return &room->second;
}

void LobbyRooms::Forget(std::map<RoomCode, Room>::iterator room) {
  hostTickets_.erase(room->second.host.ticket);
  const auto count = roomsOf_.find(room->second.hostSource);
  if (count != roomsOf_.end() && --count->second == 0) roomsOf_.erase(count);
  rooms_.erase(room);
}

LobbyAnswer LobbyRooms::View(const Room& room, bool host, const UdpAddress& asker) const {
  if (!room.guest) return RoomWaiting{room.code, asker};
  const Member& other = host ? *room.guest : room.host;
  return RoomMet{room.code, host, asker, PlayerAddresses{other.seen, other.local, other.relayed},
                 room.turn};
}

std::optional<LobbyAnswer> LobbyRooms::Open(const UdpAddress& from, const OpenRoom& open,
                                            Clock::time_point now) {
  // The host asks again until it hears: the same ticket is the same room.
  if (const auto known = hostTickets_.find(open.ticket); known != hostTickets_.end()) {
    if (Room* room = Find(known->second, now)) {
      room->host.seen = from;
      return View(*room, true, from);
    }
    return NoRoom{known->second};
  }
  const SourceKey source = SourceOf(from);
  const auto count = roomsOf_.find(source);
  if (rooms_.size() >= MaxRooms ||
      (count != roomsOf_.end() && count->second >= MaxRoomsPerSource)) {
    if (now >= nextFullNote_) {
      nextFullNote_ = now + std::chrono::minutes(1);
      Log(rooms_.size() >= MaxRooms ? "no room for " + AddressText(from) + ": the lobby is full"
                                    : "no room for " + AddressText(from) + ": its network has " +
                                          std::to_string(MaxRoomsPerSource) + " open");
    }
    return NoRoom{};
  }
  RoomCode code = RandomCode();
  while (rooms_.count(code)) code = RandomCode();
  Room& room = rooms_[code];
  room.code = code;
  room.host = Member{open.ticket, from, open.local, std::nullopt};
  room.hostSource = source;
  room.ends = now + UnjoinedRoomLife;
  hostTickets_[open.ticket] = code;
  ++roomsOf_[source];
  Log("room " + RoomCodeText(code) + " opened by " + AddressText(from));
  return View(room, true, from);
}

std::optional<LobbyAnswer> LobbyRooms::Join(const UdpAddress& from, const JoinRoom& join,
                                            Clock::time_point now) {
  // Past the budget of failed joins, no join is looked at: that is what bounds guessing.
  if (!failedJoins_.Has(now)) return std::nullopt;
  Room* room = Find(join.code, now);
  if (room && room->guest && room->guest->ticket == join.ticket) {
    room->guest->seen = from;
    return View(*room, false, from);
  }
  if (!room || room->guest || room->host.ticket == join.ticket) {
    failedJoins_.Take();
    return NoRoom{join.code};
  }
  room->guest = Member{join.ticket, from, join.local, std::nullopt};
  room->ends = now + MetRoomGrace;
  if (turn_) {
    const int64_t unixNow =
        unixAtStart_ + std::chrono::duration_cast<std::chrono::seconds>(now - start_).count();
    room->turn = MakeTurnGrant(turn_->server, turn_->secret,
                               unixNow + std::chrono::seconds(TurnGrantLife).count(), room->code);
  }
  Log("room " + RoomCodeText(room->code) + " met: host " + AddressText(room->host.seen) +
      ", guest " + AddressText(from));
  return View(*room, false, from);
}

std::optional<LobbyAnswer> LobbyRooms::Poll(const UdpAddress& from, const PollRoom& poll,
                                            Clock::time_point now) {
  Room* room = Find(poll.code, now);
  // Without one of the room's tickets, a code alone tells nothing.
  Member* member = nullptr;
  bool host = false;
  if (room && room->host.ticket == poll.ticket) {
    member = &room->host;
    host = true;
  } else if (room && room->guest && room->guest->ticket == poll.ticket) {
    member = &*room->guest;
  }
  if (!member) return NoRoom{poll.code};
  member->seen = from;
  if (poll.relayed) member->relayed = poll.relayed;
  return View(*room, host, from);
}

}  // namespace kavarin

#pragma once

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "files/safe_file.h"
#include "lobby/lobby_wire.h"
#include "online/endpoint.h"

namespace kavarin {

// What a headless online peer was asked to do.
struct PeerArguments {
  bool online = false;  // --host, --join or --lobby given
  bool host = false;
  bool router = true;  // a host asks its router to forward its port
  uint16_t port = DefaultPort;
  std::string joinHost;
  // Through kavarin-lobby: its endpoint, and a new room (host) or the room of a code (guest).
  std::optional<Endpoint> lobby;
  bool newRoom = false;
  std::optional<RoomCode> room;
  std::string record;
  std::string script;
  std::vector<KeptFile> kept;  // what the record must never replace: the script
};

// Reads the peer's arguments (the program's name first) with the game's option table; on a bad
// one, says what is wrong and how the peer is used on `err`, and returns false.
bool ParsePeerArguments(int argc, char** argv, PeerArguments& a, std::ostream& err);

}  // namespace kavarin

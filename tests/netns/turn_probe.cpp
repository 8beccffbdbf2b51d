// Allocates on a TURN server, lets one peer through, prints "relayed ADDR:PORT" and sends back,
// through the relay, every datagram the peer sends, for a bounded while. For the namespace
// world's checks: a player behind a router that no direct path crosses.
//   turn_probe SERVER_IP PORT USERNAME PASSWORD PEER_IP PEER_PORT SECONDS
#include <poll.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "online/turn_client.h"

using namespace kavarin;

int main(int argc, char** argv) {
  if (argc != 8) {
    std::fprintf(stderr,
                 "usage: turn_probe SERVER_IP PORT USERNAME PASSWORD PEER_IP PEER_PORT SECONDS\n");
    return 2;
  }
  const auto server = NumericAddress(argv[1], static_cast<uint16_t>(std::atoi(argv[2])));
  const auto peer = NumericAddress(argv[5], static_cast<uint16_t>(std::atoi(argv[6])));
  if (!server || !peer) {
    std::fprintf(stderr, "turn_probe: not addresses\n");
    return 2;
  }
  const int fd = socket(server->Family(), SOCK_DGRAM | SOCK_CLOEXEC, 0);
  TurnClient turn(*server, argv[3], argv[4]);
  turn.Allow(*peer);
  const auto end = TurnClient::Clock::now() + std::chrono::seconds(std::atoi(argv[7]));
  bool told = false;
  int echoed = 0;
  std::vector<uint8_t> buffer(65536);
  while (TurnClient::Clock::now() < end) {
    for (const auto& d : turn.Due(TurnClient::Clock::now()))
      sendto(fd, d.data(), d.size(), 0, server->Raw(), server->Length());
    if (turn.State() == TurnClient::Stage::Failed) {
      std::fprintf(stderr, "turn_probe: %s\n", turn.Failure().c_str());
      return 1;
    }
    if (!told && turn.Relayed()) {
      std::printf("relayed %s\n", AddressText(*turn.Relayed()).c_str());
      std::fflush(stdout);
      told = true;
    }
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, 20) <= 0) continue;
    const ssize_t n = recv(fd, buffer.data(), buffer.size(), 0);
    if (n < 0) continue;
    const auto from =
        turn.Take(std::span(buffer.data(), static_cast<size_t>(n)), TurnClient::Clock::now());
    if (!from) continue;
    if (const auto w = turn.Wrap(from->peer, from->datagram)) {
      sendto(fd, w->data(), w->size(), 0, server->Raw(), server->Length());
      ++echoed;
    }
  }
  std::fprintf(stderr, "turn_probe: echoed %d\n", echoed);
  return echoed > 0 ? 0 : 1;
}

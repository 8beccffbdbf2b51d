// kavarin-lobby: pairs two players by a room code, over UDP, in the foreground.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fstream>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "lobby/lobby_rooms.h"

namespace {

using namespace kavarin;

constexpr const char* Usage =
    "usage: kavarin-lobby --listen ADDR[:PORT] [--turn ADDR:PORT --turn-secret-file FILE]\n";

volatile sig_atomic_t stopping = 0;
void Stop(int) {
  stopping = 1;
}

// "192.0.2.1:29171", "[2001:db8::1]:29171", "[::]", "0.0.0.0": numeric addresses only, so that
// the lobby listens where it is told and nowhere a resolver chose.
std::optional<UdpAddress> ParseListen(const std::string& text, uint16_t defaultPort) {
  std::string host = text;
  std::string port;
  if (!text.empty() && text.front() == '[') {
    const size_t close = text.find(']');
    if (close == std::string::npos) return std::nullopt;
    host = text.substr(1, close - 1);
    const std::string rest = text.substr(close + 1);
    if (!rest.empty()) {
      if (rest.front() != ':') return std::nullopt;
      port = rest.substr(1);
    }
  } else if (const size_t colon = text.find(':');
             colon != std::string::npos && text.find(':', colon + 1) == std::string::npos) {
    host = text.substr(0, colon);
    port = text.substr(colon + 1);
  }
  uint16_t number = defaultPort;
  if (!port.empty()) {
    if (port.size() > 5 || port.find_first_not_of("0123456789") != std::string::npos)
      return std::nullopt;
    const unsigned long n = std::stoul(port);
    if (n > 65535) return std::nullopt;
    number = static_cast<uint16_t>(n);
  }
  return NumericAddress(host, number);
}

// The secret is the file's first line; coturn's static-auth-secret must be the same.
std::optional<std::string> ReadSecret(const std::string& path, std::string& error) {
  std::ifstream in(path);
  std::string secret;
  if (!in || !std::getline(in, secret)) {
    error = "cannot read the TURN secret from " + path;
    return std::nullopt;
  }
  while (!secret.empty() && (secret.back() == '\r' || secret.back() == ' ')) secret.pop_back();
  if (secret.empty()) {
    error = "the TURN secret in " + path + " is empty";
    return std::nullopt;
  }
  return secret;
}

// An IPv4 sender on an IPv6 socket arrives as ::ffff:a.b.c.d; the rooms see it as IPv4.
UdpAddress Unmapped(const UdpAddress& a) {
  const std::array<uint8_t, 16> h = a.V6Host();
  static constexpr std::array<uint8_t, 12> Prefix = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xff, 0xff};
  if (a.Family() != AF_INET6 || !std::equal(Prefix.begin(), Prefix.end(), h.begin())) return a;
  uint32_t host = 0;
  std::memcpy(&host, h.data() + 12, sizeof host);
  return UdpAddress::V4(host, a.Port());
}

UdpAddress Mapped(const UdpAddress& a) {
  if (a.Family() != AF_INET) return a;
  in6_addr h{};
  h.s6_addr[10] = h.s6_addr[11] = 0xff;
  const uint32_t host = a.V4Host();
  std::memcpy(&h.s6_addr[12], &host, sizeof host);
  return UdpAddress::V6(h, a.Port());
}

void Log(const std::string& line) {
  std::cerr << "kavarin-lobby: " << line << std::endl;
}

}  // namespace

int main(int argc, char** argv) {
  std::optional<UdpAddress> listen, turnServer;
  std::optional<std::string> secretFile;
  for (int i = 1; i < argc; ++i) {
    const std::string option = argv[i];
    if (option == "--help" || option == "-h") {
      std::cout << Usage;
      return 0;
    }
    if (i + 1 >= argc) {
      std::cerr << "kavarin-lobby: " << option << " needs a value\n" << Usage;
      return 2;
    }
    const std::string value = argv[++i];
    if (option == "--listen") {
      listen = ParseListen(value, DefaultLobbyPort);
      if (!listen) {
        std::cerr << "kavarin-lobby: --listen wants a numeric address and port, not \"" << value
                  << "\"\n";
        return 2;
      }
    } else if (option == "--turn") {
      turnServer = ParseListen(value, 3478);
      if (!turnServer || turnServer->IsAny()) {
        std::cerr << "kavarin-lobby: --turn wants the TURN server's numeric address and port, "
                     "not \""
                  << value << "\"\n";
        return 2;
      }
    } else if (option == "--turn-secret-file") {
      secretFile = value;
    } else {
      std::cerr << "kavarin-lobby: unknown option " << option << "\n" << Usage;
      return 2;
    }
  }
  if (!listen) {
    std::cerr << "kavarin-lobby: --listen is needed\n" << Usage;
    return 2;
  }
  if (turnServer.has_value() != secretFile.has_value()) {
    std::cerr << "kavarin-lobby: --turn and --turn-secret-file go together\n";
    return 2;
  }
  std::optional<LobbyRooms::Turn> turn;
  if (turnServer) {
    std::string error;
    const std::optional<std::string> secret = ReadSecret(*secretFile, error);
    if (!secret) {
      std::cerr << "kavarin-lobby: " << error << "\n";
      return 1;
    }
    turn = LobbyRooms::Turn{*turnServer, *secret};
  }

  const int fd = socket(listen->Family(), SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    std::cerr << "kavarin-lobby: no UDP socket: " << std::strerror(errno) << "\n";
    return 1;
  }
  const bool v6 = listen->Family() == AF_INET6;
  if (v6) {
    // [::] serves IPv4 players too.
    const int no = 0;
    setsockopt(fd, IPPROTO_IPV6, IPV6_V6ONLY, &no, sizeof no);
  }
  if (bind(fd, listen->Raw(), listen->Length()) != 0) {
    std::cerr << "kavarin-lobby: cannot listen on " << AddressText(*listen) << ": "
              << std::strerror(errno) << "\n";
    close(fd);
    return 1;
  }

  // SIGTERM and SIGINT are let in only while waiting, so that none is missed between a check
  // and the wait.
  sigset_t blocked, waiting;
  sigemptyset(&blocked);
  sigaddset(&blocked, SIGTERM);
  sigaddset(&blocked, SIGINT);
  sigprocmask(SIG_BLOCK, &blocked, &waiting);
  sigdelset(&waiting, SIGTERM);
  sigdelset(&waiting, SIGINT);
  struct sigaction action {};
  action.sa_handler = Stop;
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGINT, &action, nullptr);

  LobbyRooms rooms(turn, std::chrono::steady_clock::now(), static_cast<int64_t>(std::time(nullptr)),
                   Log);
  Log("listening on " + AddressText(LocalAddress(fd).value_or(*listen)) +
      (turn ? ", TURN credentials for " + AddressText(turn->server) : ""));

  std::vector<uint8_t> buffer(2048);
  while (!stopping) {
    pollfd p{fd, POLLIN, 0};
    const timespec tick{1, 0};
    const int ready = ppoll(&p, 1, &tick, &waiting);
    const auto now = std::chrono::steady_clock::now();
    if (ready <= 0) {
      rooms.Sweep(now);
      continue;
    }
    // A bounded batch, so that a flood still lets the sweep and SIGTERM in.
    for (int batch = 0; batch < 256 && !stopping; ++batch) {
      sockaddr_storage from{};
      socklen_t length = sizeof from;
      const ssize_t n = recvfrom(fd, buffer.data(), buffer.size(), 0,
                                 reinterpret_cast<sockaddr*>(&from), &length);
      if (n < 0) break;
      const std::optional<UdpAddress> sender = UdpAddress::From(from);
      if (!sender) continue;
      const std::optional<std::vector<uint8_t>> answer =
          rooms.Handle(Unmapped(*sender), std::span(buffer.data(), static_cast<size_t>(n)), now);
      if (!answer) continue;
      const UdpAddress to = v6 ? Mapped(Unmapped(*sender)) : *sender;
      sendto(fd, answer->data(), answer->size(), 0, to.Raw(), to.Length());
    }
  }
  Log("stopped");
  close(fd);
  return 0;
}

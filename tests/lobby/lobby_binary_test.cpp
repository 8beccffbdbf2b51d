#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

#include "lobby/lobby_client.h"
#include "lobby/turn_grant.h"
#include "tests/net/udp_socket.h"

namespace kavarin {
namespace {

using Clock = std::chrono::steady_clock;

std::string ReadAll(const std::string& path) {
  std::ifstream in(path);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// kavarin-lobby in a scratch folder, its standard error in a file; stopped with SIGTERM.
class LobbyProcess {
 public:
  explicit LobbyProcess(std::vector<std::string> args) {
    char folder[] = "/tmp/kavarin-lobby-test-XXXXXX";
    dir_ = mkdtemp(folder);
    errPath_ = dir_ + "/err";
    args.insert(args.begin(), KAVARIN_LOBBY_EXE);
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_addopen(&files, 2, errPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    posix_spawn_file_actions_addopen(&files, 1, "/dev/null", O_WRONLY, 0);
    spawned_ = posix_spawn(&pid_, KAVARIN_LOBBY_EXE, &files, nullptr, argv.data(), environ) == 0;
    posix_spawn_file_actions_destroy(&files);
  }
  ~LobbyProcess() {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    std::system(("rm -rf " + dir_).c_str());
  }
  const std::string& Dir() const { return dir_; }
  std::string Log() const { return ReadAll(errPath_); }
  // The port it says it listens on, within 5 s.
  std::optional<uint16_t> Port() const {
    const auto until = Clock::now() + std::chrono::seconds(5);
    while (spawned_ && Clock::now() < until) {
      const std::string log = Log();
      const size_t at = log.find("listening on ");
      const size_t end = log.find_first_of(",\n", at);
      if (at != std::string::npos && end != std::string::npos) {
        const size_t colon = log.rfind(':', end);
        return static_cast<uint16_t>(std::stoi(log.substr(colon + 1, end - colon - 1)));
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return std::nullopt;
  }
  int Terminate() {
    kill(pid_, SIGTERM);
    return Wait();
  }
  // Its exit status within 5 s; -1 if it did not stop or was killed.
  int Wait() {
    const auto until = Clock::now() + std::chrono::seconds(5);
    int status = 0;
    while (Clock::now() < until) {
      if (waitpid(pid_, &status, WNOHANG) == pid_) {
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return -1;
  }

 private:
  std::string dir_, errPath_;
  pid_t pid_ = -1;
  bool spawned_ = false;
};

// Two players meet through the real lobby over loopback, each on a socket of its own.
TEST(LobbyBinary, TwoPlayersMeetOverLoopbackAndTheLobbyStopsOnSigterm) {
  for (const int family : {AF_INET, AF_INET6}) {
    if (family == AF_INET6 && !UdpSocket(AF_INET6).Bound()) {
      std::cout << "no IPv6 loopback (::1): IPv6 not tested\n";
      continue;
    }
    char folder[] = "/tmp/kavarin-lobby-secret-XXXXXX";
    const std::string secretDir = mkdtemp(folder);
    std::ofstream(secretDir + "/secret") << "north-sea-secret\n";
    const std::string loopback = family == AF_INET6 ? "[::1]" : "127.0.0.1";
    // The TURN server is only written into the grant, never reached.
    LobbyProcess lobby({"--listen", loopback + ":0", "--turn", "192.0.2.9:3478",
                        "--turn-secret-file", secretDir + "/secret"});
    const std::optional<uint16_t> port = lobby.Port();
    ASSERT_TRUE(port) << lobby.Log();
    const UdpAddress lobbyAt = *NumericAddress(family == AF_INET6 ? "::1" : "127.0.0.1", *port);

    UdpSocket hostSocket(family), guestSocket(family);
    LobbyClient host = LobbyClient::NewRoom(lobbyAt, {});
    std::optional<LobbyClient> guest;
    const auto until = Clock::now() + std::chrono::seconds(5);
    while (Clock::now() < until && (host.State() != LobbyClient::Stage::Met || !guest ||
                                    guest->State() != LobbyClient::Stage::Met)) {
      const auto now = Clock::now();
      if (auto d = host.Due(now)) hostSocket.SendTo(*port, *d);
      if (auto d = guest ? guest->Due(now) : std::nullopt) guestSocket.SendTo(*port, *d);
      if (auto answer = hostSocket.Receive(5)) host.Take(*answer, Clock::now());
      if (guest)
        if (auto answer = guestSocket.Receive(5)) guest->Take(*answer, Clock::now());
      // The host reads its code aloud; the guest types it.
      if (!guest && host.Code()) {
        std::string error;
        const auto typed = ParseRoomCode(RoomCodeText(*host.Code()), error);
        ASSERT_TRUE(typed) << error;
        guest = LobbyClient::Join(lobbyAt, *typed, {});
      }
    }
    ASSERT_TRUE(guest);
    ASSERT_EQ(host.State(), LobbyClient::Stage::Met) << host.Failure() << lobby.Log();
    ASSERT_EQ(guest->State(), LobbyClient::Stage::Met) << guest->Failure() << lobby.Log();
    EXPECT_EQ(host.Meeting()->other.seen.Port(), guestSocket.Port());
    EXPECT_EQ(guest->Meeting()->other.seen.Port(), hostSocket.Port());
    EXPECT_EQ(host.Meeting()->you.Port(), hostSocket.Port());
    ASSERT_TRUE(guest->Meeting()->turn);
    EXPECT_EQ(AddressText(guest->Meeting()->turn->server), "192.0.2.9:3478");
    EXPECT_EQ(guest->Meeting()->turn->password,
              TurnPassword("north-sea-secret", guest->Meeting()->turn->username));
    const long expiry = std::stol(guest->Meeting()->turn->username);
    EXPECT_NEAR(expiry, std::time(nullptr) + 7200, 10);

    EXPECT_EQ(lobby.Terminate(), 0) << lobby.Log();
    const std::string log = lobby.Log();
    const std::string code = RoomCodeText(*host.Code());
    EXPECT_NE(log.find("room " + code + " opened by "), std::string::npos) << log;
    EXPECT_NE(log.find("room " + code + " met: host "), std::string::npos) << log;
    EXPECT_NE(log.find("stopped"), std::string::npos) << log;
    std::system(("rm -rf " + secretDir).c_str());
  }
}

TEST(LobbyBinary, RefusesWhatItCannotUse) {
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{},
        {"--listen", "lobby.example:1"},
        {"--listen", "[::1]:99999"},
        {"--listen", "127.0.0.1:0", "--turn", "192.0.2.9:3478"},
        {"--listen", "127.0.0.1:0", "--turn", "192.0.2.9:3478", "--turn-secret-file",
         "/nonexistent/secret"}}) {
    LobbyProcess lobby(args);
    EXPECT_EQ(lobby.Wait(), 2 - (args.size() == 6));
    EXPECT_NE(lobby.Log().find("kavarin-lobby: "), std::string::npos);
    EXPECT_EQ(lobby.Log().find("listening"), std::string::npos) << lobby.Log();
  }
}

}  // namespace
}  // namespace kavarin

// Two headless kavarin-replay peers meeting through a kavarin-lobby on loopback, by the room code
// the host prints: they must play to the same final state and the same record, which replays to
// it, whoever else comes with the code afterwards. Bad codes and a lobby that never answers end
// with a clear error.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cstdio>
#include <string>

#include "replay_peer.h"

namespace kavarin {
namespace {

class LobbyPeers : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::path(::testing::TempDir()) /
           ("kavarin-lobby-peers-" + std::to_string(getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  std::string Write(const std::string& name, const std::string& text) {
    std::ofstream(dir_ / name, std::ios::binary) << text;
    return (dir_ / name).string();
  }
  fs::path dir_;
};

TEST_F(LobbyPeers, MeetByCodePlayAgreeAndLetNoOneElseIn) {
  Process lobby({"--listen", "127.0.0.1:0"}, dir_ / "lobby",
                {.appendOutTo = "", .program = KAVARIN_LOBBY_EXE});
  const std::string at = lobby.LineAfter("listening on ", 5, true);
  ASSERT_FALSE(at.empty()) << lobby.Err();
  const Script hostScript = RandomScript(Player::Host, 6'000, 11);
  const Script guestScript = RandomScript(Player::Guest, 6'000, 12);
  Process host({"--lobby", at, "--new-room", "--record", (dir_ / "host.rec").string(),
                Write("host.txt", hostScript.text)},
               dir_ / "host");
  const std::string code = host.LineAfter("room ", 5);
  ASSERT_EQ(code.size(), 9u) << host.Out() << host.Err();
  // The code is the first line, alone.
  EXPECT_TRUE(host.Out().starts_with("room " + code + "\n"));

  // Typed as people type it: in small letters, without the dash.
  std::string typed;
  for (char c : code)
    if (c != '-') typed += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  Process guest({"--lobby", at, "--room", typed, "--record", (dir_ / "guest.rec").string(),
                 Write("guest.txt", guestScript.text)},
                dir_ / "guest");
  const std::string first = guest.LineAfter("first shared frame ", 10, true);
  ASSERT_FALSE(first.empty()) << guest.Err();
  std::printf("guest start to first shared frame on loopback: %s\n", first.c_str());

  // The room is used: a third player with its code is told there is none, and learns nothing.
  Process late({"--lobby", at, "--room", code, Write("late.txt", guestScript.text)}, dir_ / "late");
  EXPECT_EQ(late.Wait(15), 1);
  EXPECT_NE(late.Err().find("no room " + code), std::string::npos) << late.Err();
  EXPECT_EQ(late.Out(), "");

  ASSERT_EQ(guest.Wait(50), 0) << guest.Err();
  ASSERT_EQ(host.Wait(10), 0) << host.Err();
  EXPECT_NE(guest.Err().find("linked on the "), std::string::npos) << guest.Err();
  const std::string state = host.Out().substr(("room " + code + "\n").size());
  EXPECT_TRUE(state.starts_with("state ") && state.find('\n') == state.size() - 1) << state;
  EXPECT_EQ(guest.Out(), state);
  const std::string record = ReadAll(dir_ / "host.rec");
  EXPECT_EQ(ReadAll(dir_ / "guest.rec"), record);
  EXPECT_EQ(record, MergedRecord(hostScript, guestScript));
  Process replay({(dir_ / "host.rec").string()}, dir_ / "replay");
  ASSERT_EQ(replay.Wait(30), 0) << replay.Err();
  EXPECT_EQ(replay.Out(), state);
}

TEST_F(LobbyPeers, BadRequestsAndASilentLobbyEndClearly) {
  const std::string script = Write("s.txt", "start\ntick 10\n");
  // Usage: status 2, with what is wrong.
  struct Bad {
    std::vector<std::string> args;
    std::string says;
  };
  const Bad bad[] = {
      {{"--lobby", "127.0.0.1", script}, "--lobby needs --new-room or --room"},
      {{"--room", "ABCD-EFGH", script}, "need --lobby"},
      {{"--lobby", "127.0.0.1", "--room", "AB0D-EFGH", script}, "no \"0\""},
      {{"--lobby", "127.0.0.1", "--room", "ABCD-EFG", script}, "8 characters, not 7"},
      {{"--lobby", "127.0.0.1", "--new-room", "--room", "ABCD-EFGH", script}, "once"},
      {{"--host", "0", "--lobby", "127.0.0.1", "--new-room", script}, "once"},
  };
  for (size_t i = 0; i < std::size(bad); ++i) {
    Process p(bad[i].args, dir_ / ("bad" + std::to_string(i)));
    EXPECT_EQ(p.Wait(10), 2) << i;
    EXPECT_NE(p.Err().find(bad[i].says), std::string::npos) << i << ": " << p.Err();
  }
  // A lobby that hears and never answers: the peer gives up after its 10 s, saying so.
  const int silent = socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in any{};
  any.sin_family = AF_INET;
  any.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(bind(silent, reinterpret_cast<sockaddr*>(&any), sizeof any), 0);
  socklen_t size = sizeof any;
  getsockname(silent, reinterpret_cast<sockaddr*>(&any), &size);
  const std::string at = "127.0.0.1:" + std::to_string(ntohs(any.sin_port));
  Process host({"--lobby", at, "--new-room", script}, dir_ / "host");
  Process guest({"--lobby", at, "--room", "ABCD-EFGH", script}, dir_ / "guest");
  EXPECT_EQ(host.Wait(20), 1);
  EXPECT_EQ(guest.Wait(20), 1);
  for (const Process* p : {&host, &guest})
    EXPECT_NE(p->Err().find("did not answer for 10 s"), std::string::npos) << p->Err();
  EXPECT_EQ(host.Out(), "");
  close(silent);
}

}  // namespace
}  // namespace kavarin

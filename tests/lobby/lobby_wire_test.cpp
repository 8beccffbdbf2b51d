#include <gtest/gtest.h>

#include <random>

#include "lobby/lobby_wire.h"

namespace kavarin {
namespace {

constexpr std::string_view Alphabet = "23456789ABCDEFGHJKMNPQRSTUVWXYZ";

class RandomValues {
 public:
  explicit RandomValues(uint32_t seed) : rng_(seed) {}
  uint32_t Below(uint32_t n) { return std::uniform_int_distribution<uint32_t>(0, n - 1)(rng_); }
  UdpAddress Address() {
    const uint16_t port = static_cast<uint16_t>(1 + Below(65535));
    if (Below(2)) return UdpAddress::V4(static_cast<uint32_t>(rng_()), port);
    in6_addr h{};
    for (auto& b : h.s6_addr) b = static_cast<uint8_t>(Below(256));
    return UdpAddress::V6(h, port);
  }
  std::vector<UdpAddress> Addresses() {
    std::vector<UdpAddress> list(Below(MaxLocalAddresses + 1));
    for (auto& a : list) a = Address();
    return list;
  }
  std::optional<UdpAddress> MaybeAddress() {
    return Below(2) ? std::optional(Address()) : std::nullopt;
  }
  RoomCode Code() {
    RoomCode code{};
    for (char& c : code) c = Alphabet[Below(Alphabet.size())];
    return code;
  }
  RoomTicket Ticket() {
    RoomTicket t{};
    for (auto& b : t) b = static_cast<uint8_t>(Below(256));
    return t;
  }
  std::string Text() {
    std::string s(1 + Below(40), ' ');
    for (char& c : s) c = static_cast<char>('!' + Below(94));
    return s;
  }
  LobbyRequest Request() {
    switch (Below(3)) {
      case 0:
        return OpenRoom{Ticket(), Addresses()};
      case 1:
        return JoinRoom{Code(), Ticket(), Addresses()};
      default:
        return PollRoom{Code(), Ticket(), MaybeAddress()};
    }
  }
  LobbyAnswer Answer() {
    switch (Below(3)) {
      case 0:
        return RoomWaiting{Code(), Address()};
      case 1: {
        RoomMet met{Code(), Below(2) == 1, Address(),
                    PlayerAddresses{Address(), Addresses(), MaybeAddress()}, std::nullopt};
        if (Below(2)) met.turn = TurnGrant{Address(), Text(), Text()};
        return met;
      }
      default:
        return NoRoom{Below(4) == 0 ? RoomCode{} : Code()};
    }
  }

 private:
  std::mt19937 rng_;
};

// Whatever bytes decode, they decode to the one value that encodes to them again: a forger
// cannot make the lobby or a player read a datagram two ways.
template <typename Decode, typename Encode>
void ExpectCanonical(std::span<const uint8_t> bytes, Decode decode, Encode encode) {
  const auto value = decode(bytes);
  if (value) {
    EXPECT_EQ(encode(*value), std::vector<uint8_t>(bytes.begin(), bytes.end()));
  }
}

TEST(LobbyWire, EveryValueRoundTripsAndEveryDamagedDatagramIsRefusedOrCanonical) {
  RandomValues random(18);
  size_t refused = 0, mutated = 0;
  for (int round = 0; round < 400; ++round) {
    const LobbyRequest request = random.Request();
    const std::vector<uint8_t> asked = EncodeRequest(request);
    ASSERT_EQ(asked.size(), LobbyRequestSize);
    ASSERT_EQ(DecodeRequest(asked), request);
    EXPECT_TRUE(LooksLikeLobby(asked));
    EXPECT_FALSE(DecodeAnswer(asked)) << "a request must never read as an answer";

    const LobbyAnswer answer = random.Answer();
    const std::vector<uint8_t> told = EncodeAnswer(answer);
    ASSERT_LE(told.size(), LobbyRequestSize);
    ASSERT_EQ(DecodeAnswer(told), answer);
    EXPECT_FALSE(DecodeRequest(told));

    // Every truncation of either.
    for (size_t n = 0; n < asked.size(); ++n)
      EXPECT_FALSE(DecodeRequest(std::span(asked).first(n))) << n;
    for (size_t n = 0; n < told.size(); ++n) refused += !DecodeAnswer(std::span(told).first(n));
    // A byte too many.
    std::vector<uint8_t> longer = told;
    longer.push_back(0);
    EXPECT_FALSE(DecodeAnswer(longer));
    longer = asked;
    longer.push_back(0);
    EXPECT_FALSE(DecodeRequest(longer));

    // Random byte changes.
    for (int m = 0; m < 64; ++m) {
      std::vector<uint8_t> bad = m % 2 ? asked : told;
      const size_t at = random.Below(static_cast<uint32_t>(bad.size()));
      bad[at] = static_cast<uint8_t>(bad[at] ^ (1 + random.Below(255)));
      ++mutated;
      // The magic and version alone tell the lobby's datagrams from a match's.
      EXPECT_EQ(LooksLikeLobby(bad), at >= 5);
      ExpectCanonical(bad, DecodeRequest, EncodeRequest);
      ExpectCanonical(bad, DecodeAnswer, EncodeAnswer);
    }
  }
  EXPECT_GT(mutated, 0u);
  EXPECT_GT(refused, 0u);
}

TEST(LobbyWire, TheLargestAnswerFitsInARequest) {
  RandomValues random(7);
  RoomMet met{random.Code(), true, random.Address(), {}, TurnGrant{}};
  in6_addr h{};
  h.s6_addr[0] = 0x20;
  const UdpAddress v6 = UdpAddress::V6(h, 1);
  met.you = v6;
  met.other = PlayerAddresses{v6, std::vector<UdpAddress>(MaxLocalAddresses, v6), v6};
  met.turn = TurnGrant{v6, std::string(40, 'u'), std::string(40, 'p')};
  const std::vector<uint8_t> told = EncodeAnswer(met);
  EXPECT_LE(told.size(), LobbyRequestSize);
  EXPECT_EQ(DecodeAnswer(told), LobbyAnswer(met));
  // A grant too long to fit is left out rather than sent in part.
  met.turn->password = std::string(200, 'p');
  const auto shorter = DecodeAnswer(EncodeAnswer(met));
  ASSERT_TRUE(shorter);
  EXPECT_FALSE(std::get<RoomMet>(*shorter).turn);
}

TEST(RoomCodes, TypedCodesReadBackAndBadCharactersAreNamed) {
  RandomValues random(3);
  std::string error;
  for (int round = 0; round < 200; ++round) {
    const RoomCode code = random.Code();
    const std::string text = RoomCodeText(code);
    ASSERT_EQ(text.size(), RoomCodeLength + 1);
    EXPECT_EQ(text[4], '-');
    // As people type it: any case, dashes and spaces anywhere.
    std::string typed;
    for (char c : std::string(code.begin(), code.end())) {
      if (random.Below(4) == 0) typed += random.Below(2) ? "-" : " ";
      typed += random.Below(2) ? static_cast<char>(std::tolower(c)) : c;
    }
    EXPECT_EQ(ParseRoomCode(typed, error), code) << typed;
    EXPECT_EQ(ParseRoomCode(text, error), code);
  }
  for (char bad : std::string("01OoIiLl!")) {
    EXPECT_FALSE(ParseRoomCode(std::string("K7QX-M4P") + bad, error));
    EXPECT_NE(error.find(std::string("\"") + bad + "\""), std::string::npos) << error;
  }
  EXPECT_FALSE(ParseRoomCode("K7QX-M4P", error));
  EXPECT_NE(error.find("not 7"), std::string::npos) << error;
  EXPECT_FALSE(ParseRoomCode("K7QX-M4PDD", error));
  EXPECT_FALSE(ParseRoomCode("", error));
}

}  // namespace
}  // namespace kavarin

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
    std::string s(1 + Below(32), ' ');
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
    const RoomTicket ticket = random.Ticket();
    const auto decodeAnswer = [&](std::span<const uint8_t> d) { return DecodeAnswer(d, ticket); };
    const auto encodeAnswer = [&](const LobbyAnswer& a) { return EncodeAnswer(a, ticket); };
    EXPECT_FALSE(decodeAnswer(asked)) << "a request must never read as an answer";

    const LobbyAnswer answer = random.Answer();
    const std::vector<uint8_t> told = encodeAnswer(answer);
    ASSERT_LE(told.size(), LobbyRequestSize);
    ASSERT_EQ(decodeAnswer(told), answer);
    EXPECT_FALSE(DecodeRequest(told));

    // Every truncation of either.
    for (size_t n = 0; n < asked.size(); ++n)
      EXPECT_FALSE(DecodeRequest(std::span(asked).first(n))) << n;
    for (size_t n = 0; n < told.size(); ++n) refused += !decodeAnswer(std::span(told).first(n));
    // A byte too many.
    std::vector<uint8_t> longer = told;
    longer.push_back(0);
    EXPECT_FALSE(decodeAnswer(longer));
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
      ExpectCanonical(bad, decodeAnswer, encodeAnswer);
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
  met.turn = TurnGrant{v6, std::string(32, 'u'), std::string(32, 'p')};
  const RoomTicket ticket = random.Ticket();
  const std::vector<uint8_t> told = EncodeAnswer(met, ticket);
  EXPECT_LE(told.size(), LobbyRequestSize);
  EXPECT_EQ(DecodeAnswer(told, ticket), LobbyAnswer(met));
  // A grant too long to fit is left out rather than sent in part.
  met.turn->password = std::string(33, 'p');
  const auto shorter = DecodeAnswer(EncodeAnswer(met, ticket), ticket);
  ASSERT_TRUE(shorter);
  EXPECT_FALSE(std::get<RoomMet>(*shorter).turn);
}

// Whoever does not hold the asker's ticket cannot make an answer it takes: not by tagging one
// under another ticket, however close, nor by changing any bit of a real one.
TEST(LobbyWire, AnAnswerReadsOnlyUnderItsOwnTicketAndOnlyUnchanged) {
  RandomValues random(29);
  size_t flips = 0;
  for (int round = 0; round < 300; ++round) {
    const LobbyAnswer answer = random.Answer();
    const RoomTicket ticket = random.Ticket();
    const std::vector<uint8_t> told = EncodeAnswer(answer, ticket);
    ASSERT_EQ(DecodeAnswer(told, ticket), answer);
    ASSERT_TRUE(AnswerTagHolds(told, ticket));

    RoomTicket other = random.Ticket();
    if (round % 2) {  // or the same ticket but for one bit
      other = ticket;
      const uint32_t bit = random.Below(8 * sizeof other);
      other[bit / 8] = static_cast<uint8_t>(other[bit / 8] ^ (1u << (bit % 8)));
    }
    EXPECT_FALSE(DecodeAnswer(told, other));
    EXPECT_FALSE(AnswerTagHolds(told, other));
    EXPECT_NE(EncodeAnswer(answer, other), told);

    for (size_t bit = 0; bit < 8 * told.size(); ++bit, ++flips) {
      std::vector<uint8_t> bad = told;
      bad[bit / 8] = static_cast<uint8_t>(bad[bit / 8] ^ (1u << (bit % 8)));
      ASSERT_FALSE(DecodeAnswer(bad, ticket)) << "round " << round << ", bit " << bit;
    }
  }
  EXPECT_GT(flips, 300u * 8 * (6 + 8 + AnswerTagSize));
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

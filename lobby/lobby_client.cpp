#include "lobby/lobby_client.h"

#include <sodium.h>

namespace kavarin {

namespace {

using std::chrono::milliseconds;
constexpr milliseconds AskAgain{250};
constexpr milliseconds PollEvery{500};
constexpr milliseconds GiveUp{10000};

}  // namespace

LobbyClient::LobbyClient(const UdpAddress& lobby, std::vector<UdpAddress> local)
    : lobby_(lobby), local_(std::move(local)) {
  if (local_.size() > MaxLocalAddresses) local_.resize(MaxLocalAddresses);
  // sodium_init is safe to call again; it only fails where there is no random source at all.
  if (sodium_init() < 0) {
    stage_ = Stage::Failed;
    failure_ = "this machine has no secure random source for a room ticket";
    return;
  }
  randombytes_buf(ticket_.data(), ticket_.size());
}

LobbyClient LobbyClient::NewRoom(const UdpAddress& lobby, std::vector<UdpAddress> local) {
  return LobbyClient(lobby, std::move(local));
}

LobbyClient LobbyClient::Join(const UdpAddress& lobby, const RoomCode& code,
                              std::vector<UdpAddress> local) {
  LobbyClient client(lobby, std::move(local));
  client.joining_ = true;
  client.code_ = code;
  return client;
}

std::optional<std::vector<uint8_t>> LobbyClient::Due(Clock::time_point now) {
  if (stopped_ || stage_ == Stage::NoRoom || stage_ == Stage::Failed) return std::nullopt;
  if (!sentAny_) {
    firstAsked_ = now;
    lastHeard_ = now;
  } else {
    const Clock::time_point heard = stage_ == Stage::Asking ? firstAsked_ : lastHeard_;
    if (now - heard >= GiveUp) {
      stage_ = Stage::Failed;
      failure_ = "the lobby at " + AddressText(lobby_) + " did not answer for 10 s";
      return std::nullopt;
    }
    if (now - lastSent_ < (stage_ == Stage::Asking ? AskAgain : PollEvery)) return std::nullopt;
  }
  sentAny_ = true;
  lastSent_ = now;
  if (stage_ == Stage::Asking) {
    if (joining_) return EncodeRequest(JoinRoom{*code_, ticket_, local_});
    return EncodeRequest(OpenRoom{ticket_, local_});
  }
  return EncodeRequest(PollRoom{*code_, ticket_, relayed_});
}

bool LobbyClient::Take(std::span<const uint8_t> datagram, Clock::time_point now) {
  if (stopped_ || stage_ == Stage::NoRoom || stage_ == Stage::Failed || !sentAny_) return false;
  if (!LooksLikeLobby(datagram)) return false;
  if (!AnswerTagHolds(datagram, ticket_)) {
    ++forged_;
    return false;
  }
  const std::optional<LobbyAnswer> answer = DecodeAnswer(datagram, ticket_);
  if (!answer) return false;
  const RoomCode* code = nullptr;
  std::visit([&](const auto& a) { code = &a.code; }, *answer);
  // A host asking for its room takes the code it is given, or a blank NoRoom from a full lobby;
  // after that, only our room's answers are ours.
  const bool blank = *code == RoomCode{};
  if (code_ ? *code != *code_ : blank != std::holds_alternative<NoRoom>(*answer)) return false;

  if (const auto* waiting = std::get_if<RoomWaiting>(&*answer)) {
    // A guest is never kept waiting, and once met a late answer changes nothing.
    if (joining_ || stage_ == Stage::Met) return false;
    code_ = waiting->code;
    stage_ = Stage::Waiting;
  } else if (const auto* met = std::get_if<RoomMet>(&*answer)) {
    if (met->host == joining_) return false;
    code_ = met->code;
    met_ = *met;
    stage_ = Stage::Met;
  } else {
    stage_ = Stage::NoRoom;
    if (!code_)
      failure_ = "the lobby at " + AddressText(lobby_) + " has no room to give now";
    else if (joining_ && !met_)
      failure_ = "the lobby has no room " + RoomCodeText(*code_) +
                 ": the code is mistyped, expired or already used";
    else
      failure_ = "the lobby closed room " + RoomCodeText(*code_);
  }
  lastHeard_ = now;
  return true;
}

void LobbyClient::PublishRelayed(const UdpAddress& relayed) {
  relayed_ = relayed;
  // Tell it at the next Due rather than at the next poll's time.
  lastSent_ = Clock::time_point{};
}

}  // namespace kavarin

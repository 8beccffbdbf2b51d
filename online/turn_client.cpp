#include "online/turn_client.h"

#include <algorithm>

namespace kavarin {

namespace {

using namespace std::chrono_literals;

// Resends of a request come after 250 ms, then twice as long each time, up to 2 s apart; a
// request unanswered for 5 s ends the client.
constexpr auto FirstWait = 250ms;
constexpr auto LongestWait = 2s;
constexpr auto GiveUpAfter = 5s;
// Permissions last 5 minutes and channels 10 on the server; both are renewed well before.
constexpr auto RenewPeerEvery = 4min;
constexpr uint32_t AskedLifetime = 600;  // seconds
constexpr uint32_t UdpTransport = 17 << 24;
// Enough for any match; a server's permission table is bounded too.
constexpr size_t MaxPeers = 16;
constexpr int MaxStale = 3;

std::string Reason(const stun::Message& m) {
  const auto failure = m.Failure();
  if (!failure) return "an error without a code";
  return std::to_string(failure->first) + (failure->second.empty() ? "" : " " + failure->second);
}

}  // namespace

TurnClient::TurnClient(const UdpAddress& server, std::string username, std::string password)
    : server_(server), username_(std::move(username)), password_(std::move(password)) {}

void TurnClient::Fail(std::string why) {
  stage_ = Stage::Failed;
  failure_ = std::move(why);
  pending_.clear();
}

bool TurnClient::Asking(Ask ask, size_t peer) const {
  return std::any_of(pending_.begin(), pending_.end(),
                     [&](const Pending& p) { return p.ask == ask && p.peer == peer; });
}

const TurnClient::Peer* TurnClient::PeerAt(const UdpAddress& address) const {
  for (const Peer& p : peers_)
    if (p.address == address) return &p;
  return nullptr;
}

void TurnClient::Queue(Ask ask, size_t peer, Clock::time_point now, int stale) {
  const stun::TransactionId id = stun::NewTransactionId();
  static constexpr stun::Method methods[] = {stun::Allocate, stun::Refresh, stun::CreatePermission,
                                             stun::ChannelBind};
  stun::Writer w(methods[static_cast<int>(ask)], stun::Request, id);
  switch (ask) {
    case Ask::Allocate:
      w.Word(stun::RequestedTransport, UdpTransport).Word(stun::Lifetime, AskedLifetime);
      break;
    case Ask::Refresh:
      w.Word(stun::Lifetime, AskedLifetime);
      break;
    case Ask::Permission:
      w.Address(stun::XorPeerAddress, peers_[peer].address);
      break;
    case Ask::Bind:
      w.Word(stun::ChannelNumber, static_cast<uint32_t>(peers_[peer].channel) << 16)
          .Address(stun::XorPeerAddress, peers_[peer].address);
      break;
  }
  std::vector<uint8_t> bytes;
  if (key_) {
    w.Text(stun::Username, username_).Text(stun::Realm, realm_).Text(stun::Nonce, nonce_);
    bytes = w.Finish(*key_);
  } else {
    bytes = w.Finish();
  }
  pending_.push_back({ask, peer, id, std::move(bytes), now, now, FirstWait, stale});
}

std::vector<std::vector<uint8_t>> TurnClient::Due(Clock::time_point now) {
  std::vector<std::vector<uint8_t>> due;
  if (stage_ == Stage::Failed) return due;
  if (!started_) {
    started_ = true;
    Queue(Ask::Allocate, 0, now);
  }
  if (stage_ == Stage::Ready) {
    if (now >= refreshAt_ && !Asking(Ask::Refresh, 0)) Queue(Ask::Refresh, 0, now);
    for (size_t i = 0; i < peers_.size(); ++i) {
      if (now < peers_[i].renewAt || Asking(Ask::Permission, i) || Asking(Ask::Bind, i)) continue;
      peers_[i].renewAt = now + RenewPeerEvery;
      Queue(Ask::Permission, i, now);
      Queue(Ask::Bind, i, now);
    }
  }
  for (Pending& p : pending_) {
    if (now - p.first >= GiveUpAfter) {
      Fail("the TURN server at " + AddressText(server_) + " did not answer");
      return {};
    }
    if (now < p.next) continue;
    due.push_back(p.bytes);
    p.next = now + p.wait;
    p.wait = std::min<Clock::duration>(p.wait * 2, LongestWait);
  }
  return due;
}

void TurnClient::Allow(const UdpAddress& peer) {
  if (PeerAt(peer) || peers_.size() == MaxPeers) return;
  peers_.push_back({peer, static_cast<uint16_t>(0x4000 + peers_.size())});
}

void TurnClient::AllowAnyPort(const UdpAddress& peer) {
  Allow(peer);
  if (anyPort_.size() < MaxPeers) anyPort_.push_back(peer.WithPort(0));
}

bool TurnClient::Carries(const UdpAddress& peer) const {
  return stage_ != Stage::Failed && PeerAt(peer) != nullptr;
}

std::optional<TurnClient::FromPeer> TurnClient::Take(std::span<const uint8_t> datagram,
                                                     Clock::time_point now) {
  if (stage_ == Stage::Failed) return std::nullopt;
  if (!datagram.empty() && (datagram[0] & 0xC0) == 0x40) {
    const auto piece = stun::ReadChannelFrame(datagram);
    if (!piece) return std::nullopt;
    for (const Peer& p : peers_)
      if (p.channel == piece->channel)
        return FromPeer{p.address, {piece->data.begin(), piece->data.end()}};
    return std::nullopt;
  }
  const std::optional<stun::Message> m = stun::Read(datagram);
  if (!m) return std::nullopt;
  if (m->cls == stun::Indication && m->method == stun::Data) {
    const auto from = m->Address(stun::XorPeerAddress);
    const stun::Attr* data = m->Find(stun::DataAttribute);
    if (stage_ != Stage::Ready || !from || !data) return std::nullopt;
    if (!PeerAt(*from)) {
      if (std::find(anyPort_.begin(), anyPort_.end(), from->WithPort(0)) == anyPort_.end())
        return std::nullopt;
      Allow(*from);
    }
    return FromPeer{*from, {data->value.begin(), data->value.end()}};
  }
  if (m->cls != stun::Success && m->cls != stun::Error) return std::nullopt;
  const auto asked = std::find_if(pending_.begin(), pending_.end(),
                                  [&](const Pending& p) { return p.id == m->id; });
  if (asked == pending_.end()) return std::nullopt;
  static constexpr stun::Method methods[] = {stun::Allocate, stun::Refresh, stun::CreatePermission,
                                             stun::ChannelBind};
  if (m->method != methods[static_cast<int>(asked->ask)]) return std::nullopt;
  // A success to a signed request is signed too; one that is not is someone else's.
  if (m->cls == stun::Success && key_ && !m->SignedWith(*key_)) return std::nullopt;
  const Pending p = *asked;
  pending_.erase(asked);
  Answered(p, *m, now);
  return std::nullopt;
}

void TurnClient::Answered(const Pending& asked, const stun::Message& m, Clock::time_point now) {
  static constexpr const char* what[] = {"the allocation", "the allocation's refresh",
                                         "a permission", "a channel"};
  const std::string refused = "the TURN server at " + AddressText(server_) + " refused " +
                              what[static_cast<int>(asked.ask)] + ": ";
  if (m.cls == stun::Error) {
    const auto failure = m.Failure();
    const int code = failure ? failure->first : 0;
    const auto realm = m.Text(stun::Realm), nonce = m.Text(stun::Nonce);
    if (code == 401 && asked.ask == Ask::Allocate && !key_ && realm && nonce) {
      realm_ = *realm;
      nonce_ = *nonce;
      key_ = stun::LongTermKey(username_, realm_, password_);
      Queue(Ask::Allocate, 0, now);
    } else if (code == 438 && nonce && asked.stale < MaxStale) {
      nonce_ = *nonce;
      if (realm && key_ && *realm != realm_) {
        realm_ = *realm;
        key_ = stun::LongTermKey(username_, realm_, password_);
      }
      Queue(asked.ask, asked.peer, now, asked.stale + 1);
    } else if (code == 401) {
      Fail(refused + "wrong credentials (" + Reason(m) + ")");
    } else {
      Fail(refused + Reason(m));
    }
    return;
  }
  switch (asked.ask) {
    case Ask::Allocate: {
      const auto relayed = m.Address(stun::XorRelayedAddress);
      if (!relayed) {
        Fail(refused + "its answer had no relayed address");
        return;
      }
      relayed_ = relayed;
      stage_ = Stage::Ready;
      [[fallthrough]];
    }
    case Ask::Refresh: {
      const uint32_t lifetime =
          std::clamp<uint32_t>(m.Word(stun::Lifetime).value_or(AskedLifetime), 60, 3600);
      refreshAt_ = now + std::chrono::seconds(lifetime / 2);
      break;
    }
    case Ask::Permission:
      break;
    case Ask::Bind:
      peers_[asked.peer].bound = true;
      break;
  }
}

std::optional<std::vector<uint8_t>> TurnClient::Wrap(const UdpAddress& peer,
                                                     std::span<const uint8_t> datagram) const {
  const Peer* p = PeerAt(peer);
  if (stage_ != Stage::Ready || !p || datagram.size() > 0xFFFF) return std::nullopt;
  if (p->bound) return stun::ChannelFrame(p->channel, datagram);
  return stun::Writer(stun::Send, stun::Indication, stun::NewTransactionId())
      .Address(stun::XorPeerAddress, peer)
      .Bytes(stun::DataAttribute, datagram)
      .Finish();
}

}  // namespace kavarin

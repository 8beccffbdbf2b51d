// Online play on the real network, over loopback, IPv4 (/4) and IPv6 (/6): how long connecting
// takes (from the guest's start until both sessions play), and how many bytes each side sends a
// second in play at 60 frames a second, as the session's datagrams, sealed (ENet's headers and
// the seal's) and on the wire (and 28 bytes of IPv4 and UDP headers per datagram, 48 for IPv6);
// and what sealing and opening one datagram costs, against copying it. Run it from a Release
// build:
//   build-release/bench/kavarin-bench-net
#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>

#include "online/enet_transport.h"
#include "online/link_seal.h"
#include "online/session.h"
#include "tests/online/random_hands.h"

namespace kavarin::bench {
namespace {

using Clock = std::chrono::steady_clock;

int64_t NowUs() {
  return std::chrono::duration_cast<std::chrono::microseconds>(Clock::now().time_since_epoch())
      .count();
}

// A host and a guest in one thread, each session made once its transport is connected.
struct Pair {
  explicit Pair(int64_t ipVersion) {
    std::string error;
    const std::string loopback = ipVersion == 6 ? "::1" : "127.0.0.1";
    hostLink = EnetTransport::Listen(0, error, loopback);
    if (hostLink) guestLink = EnetTransport::Join(loopback, hostLink->Port(), error);
  }
  bool Opened() const { return hostLink && guestLink; }
  // Services both links, and runs one frame time of each session (`tick`) or handles what has
  // arrived.
  void Step(bool tick = true) {
    for (auto* side : {&host, &guest}) {
      EnetTransport& link = side == &host ? *hostLink : *guestLink;
      link.Service();
      if (!*side && link.State() == EnetTransport::Link::Connected)
        *side =
            std::make_unique<Session>(side == &host ? Player::Host : Player::Guest, link, display);
      if (*side && tick) (*side)->Tick(NowUs());
      if (*side && !tick) (*side)->Poll(NowUs());
      link.Service();
    }
  }
  bool Playing() const {
    return host && guest && host->State() == SessionState::Playing &&
           guest->State() == SessionState::Playing;
  }
  SessionDisplay display;
  std::unique_ptr<EnetTransport> hostLink, guestLink;
  std::unique_ptr<Session> host, guest;
};

void BM_ConnectOverLoopback(benchmark::State& st) {
  for (auto _ : st) {
    const auto start = Clock::now();
    Pair pair(st.range(0));  // the host listens, and the guest starts
    if (!pair.Opened()) {
      st.SkipWithError("cannot listen on loopback");
      break;
    }
    while (!pair.Playing() && Clock::now() - start < std::chrono::seconds(5)) {
      pair.Step();
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    if (!pair.Playing()) st.SkipWithError("did not connect");
    st.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
  }
}
BENCHMARK(BM_ConnectOverLoopback)
    ->Arg(4)
    ->Arg(6)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(20);

void BM_BytesPerSecondInPlay(benchmark::State& st) {
  for (auto _ : st) {
    Pair pair(st.range(0));
    if (!pair.Opened()) {
      st.SkipWithError("cannot listen on loopback");
      break;
    }
    const auto deadline = Clock::now() + std::chrono::seconds(5);
    while (!pair.Playing() && Clock::now() < deadline) pair.Step();
    if (!pair.Playing()) {
      st.SkipWithError("did not connect");
      break;
    }
    const int headers = st.range(0) == 6 ? 48 : 28;
    RandomHands hostHands(1), guestHands(2);
    const Session::Counters sessions[2] = {pair.host->Stats(), pair.guest->Stats()};
    const EnetTransport::Counters links[2] = {pair.hostLink->Stats(), pair.guestLink->Stats()};
    constexpr int Frames = 600;  // 10 s
    const auto start = Clock::now();
    for (int f = 0; f < Frames; ++f) {
      for (const InputEvent& e : hostHands.Frame()) pair.host->Input(e);
      for (const InputEvent& e : guestHands.Frame()) pair.guest->Input(e);
      const auto due = start + std::chrono::microseconds(static_cast<int64_t>((f + 1) * FrameUs));
      pair.Step();
      while (Clock::now() < due) {
        pair.hostLink->Wait(1);
        pair.Step(false);
      }
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    const char* names[2] = {"host", "guest"};
    for (int i = 0; i < 2; ++i) {
      const Session& s = i == 0 ? *pair.host : *pair.guest;
      const EnetTransport::Counters now = i == 0 ? pair.hostLink->Stats() : pair.guestLink->Stats();
      const double datagrams = static_cast<double>(now.datagramsSent - links[i].datagramsSent);
      const double enetBytes = static_cast<double>(now.bytesSent - links[i].bytesSent);
      st.counters[std::string(names[i]) + "_payload_Bps"] =
          static_cast<double>(s.Stats().bytesSent - sessions[i].bytesSent) / seconds;
      st.counters[std::string(names[i]) + "_messages_per_s"] =
          static_cast<double>(s.Stats().datagramsSent - sessions[i].datagramsSent) / seconds;
      st.counters[std::string(names[i]) + "_sealed_Bps"] = enetBytes / seconds;
      st.counters[std::string(names[i]) + "_wire_Bps"] =
          (enetBytes + headers * datagrams) / seconds;
      st.counters[std::string(names[i]) + "_datagrams_per_s"] = datagrams / seconds;
      st.counters[std::string(names[i]) + "_rollbacks"] =
          static_cast<double>(s.Stats().rollbacks - sessions[i].rollbacks);
      st.counters[std::string(names[i]) + "_resimulated"] =
          static_cast<double>(s.Stats().framesResimulated - sessions[i].framesResimulated);
      st.counters[std::string(names[i]) + "_round_trip_ms"] = s.RoundTripMs();
    }
    st.counters["frames_behind"] = static_cast<double>(Frames - pair.host->NextFrame());
  }
}
BENCHMARK(BM_BytesPerSecondInPlay)->Arg(4)->Arg(6)->Unit(benchmark::kSecond)->Iterations(1);

// One datagram of st.range(0) bytes (ENet's, around a session's) sealed by one side and opened
// by the other; the baseline copies it twice, as the relay would without the seal.
void BM_SealAndOpen(benchmark::State& st) {
  const KeyPair guestPair = KeyPair::Random(), hostPair = KeyPair::Random();
  LinkSeal guest(*GuestKeys(guestPair, hostPair.publicKey), std::nullopt, std::nullopt);
  LinkSeal host(*HostKeys(hostPair, guestPair.publicKey), std::nullopt, std::nullopt);
  const std::vector<uint8_t> datagram(static_cast<size_t>(st.range(0)), 0x5A);
  std::vector<uint8_t> sealed, opened;
  for (auto _ : st) {
    guest.Seal(datagram, sealed);
    if (!host.Open(sealed, opened)) st.SkipWithError("did not open");
    benchmark::DoNotOptimize(opened.data());
  }
  st.counters["bytes_added"] = static_cast<double>(sealed.size() - datagram.size());
}
BENCHMARK(BM_SealAndOpen)->Arg(48)->Arg(120)->Arg(1200);

void BM_CopyTwice(benchmark::State& st) {
  const std::vector<uint8_t> datagram(static_cast<size_t>(st.range(0)), 0x5A);
  std::vector<uint8_t> once, twice;
  for (auto _ : st) {
    once.assign(datagram.begin(), datagram.end());
    twice.assign(once.begin(), once.end());
    benchmark::DoNotOptimize(twice.data());
  }
}
BENCHMARK(BM_CopyTwice)->Arg(48)->Arg(120)->Arg(1200);

}  // namespace
}  // namespace kavarin::bench

BENCHMARK_MAIN();
